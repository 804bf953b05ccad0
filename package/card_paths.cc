#include "package/card_paths.h"

#include <cstring>

#include "package/text_bounds.h"

namespace {

const WCHAR kPackageMark[] = TEXT(".bin");
const WCHAR kAllFiles[] = TEXT("*.*");

BOOL IsDotEntry(LPCWSTR name) {
  return wcscmp(name, TEXT(".")) == 0 || wcscmp(name, TEXT("..")) == 0;
}

}  // namespace

BOOL GetProgramPath(LPWSTR path) {
  if (path == NULL) return FALSE;
  path[0] = 0;
  SetLastError(ERROR_SUCCESS);
  DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
  // A path that does not fit comes back cut, with ERROR_INSUFFICIENT_BUFFER (and on some
  // systems without its terminator).
  if (length == 0 || length >= MAX_PATH ||
      (length == MAX_PATH - 1 && GetLastError() == ERROR_INSUFFICIENT_BUFFER)) {
    path[0] = 0;
    return FALSE;
  }
  path[length] = 0;
  return TRUE;
}

BOOL CardRootOfPath(LPCWSTR programPath, LPWSTR root) {
  if (root == NULL) return FALSE;
  root[0] = 0;
  if (programPath == NULL) return FALSE;
  LPCWSTR first = wcschr(programPath, TEXT('\\'));
  if (first == NULL) return FALSE;
  LPCWSTR second = wcschr(first + 1, TEXT('\\'));
  if (second == NULL) return FALSE;
  DWORD chars = (DWORD)(second - programPath) + 1;
  if (chars > MAX_PATH - 1) return FALSE;
  for (DWORD i = 0; i < chars; i++) root[i] = programPath[i];
  root[chars] = 0;
  return TRUE;
}

void FolderOfPath(LPCWSTR programPath, LPWSTR folder) {
  if (folder == NULL) return;
  folder[0] = 0;
  if (programPath == NULL) return;
  LPCWSTR last = wcsrchr(programPath, TEXT('\\'));
  if (last == NULL) return;
  DWORD chars = (DWORD)(last - programPath) + 1;
  if (chars > MAX_PATH - 1) return;
  for (DWORD i = 0; i < chars; i++) folder[i] = programPath[i];
  folder[chars] = 0;
}

BOOL FindCardRoot(LPWSTR path) {
  if (path == NULL) return FALSE;
  path[0] = 0;
  WCHAR program[MAX_PATH];
  if (!GetProgramPath(program)) return FALSE;
  return CardRootOfPath(program, path);
}

BOOL PreparedImagePath(LPCWSTR cardRoot, LPWSTR path) {
  return JoinPath(path, cardRoot, PREPARED_IMAGE_NAME);
}

BOOL FindPackageIn(LPCWSTR folder, LPWSTR name) {
  if (name == NULL) return FALSE;
  name[0] = 0;
  WCHAR pattern[MAX_PATH];
  if (folder == NULL || !JoinPath(pattern, folder, kAllFiles)) return FALSE;
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(pattern, &entry);
  if (search == INVALID_HANDLE_VALUE) return FALSE;
  do {
    if (!IsDotEntry(entry.cFileName) && wcsstr(entry.cFileName, kPackageMark) != NULL) {
      CopyTextCut(name, MAX_PATH, entry.cFileName);
      break;
    }
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return name[0] != 0;
}

BOOL DeletePreparedImage() {
  WCHAR program[MAX_PATH];
  WCHAR root[MAX_PATH];
  WCHAR path[MAX_PATH];
  if (!GetProgramPath(program) || !CardRootOfPath(program, root)) return FALSE;
  if (!PreparedImagePath(root, path)) return FALSE;
  WCHAR folder[MAX_PATH];
  FolderOfPath(program, folder);
  if (wcscmp(folder, root) == 0) {
    // The program's folder is the card's root: the image's name also marks a package there.
    WCHAR name[MAX_PATH];
    if (FindPackageIn(folder, name) && _wcsicmp(name, PREPARED_IMAGE_NAME) == 0) return FALSE;
  }
  return DeleteFileW(path);
}
