#include "package/card_paths.h"

#include "package/text_bounds.h"

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

BOOL DeletePreparedImage() {
  WCHAR root[MAX_PATH];
  WCHAR path[MAX_PATH];
  if (!FindCardRoot(root)) return FALSE;
  if (!PreparedImagePath(root, path)) return FALSE;
  return DeleteFileW(path);
}
