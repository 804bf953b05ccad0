#include "package/text_bounds.h"

BOOL CopyTextCut(LPWSTR text, DWORD textChars, LPCWSTR source) {
  if (text == NULL || textChars == 0) return FALSE;
  DWORD i = 0;
  for (; i + 1 < textChars && source != NULL && source[i] != 0; i++) text[i] = source[i];
  text[i] = 0;
  return source == NULL || source[i] == 0;
}

BOOL JoinPath(LPWSTR path, LPCWSTR folder, LPCWSTR name) {
  if (path == NULL) return FALSE;
  size_t folderChars = folder != NULL ? wcslen(folder) : 0;
  size_t nameChars = name != NULL ? wcslen(name) : 0;
  if (folderChars + nameChars > MAX_PATH - 1) {
    path[0] = 0;
    return FALSE;
  }
  path[0] = 0;
  if (folder != NULL) wcscat(path, folder);
  if (name != NULL) wcscat(path, name);
  return TRUE;
}

void ReadFieldText(const BYTE* room, DWORD roomBytes, LPWSTR text, DWORD textChars) {
  if (text == NULL || textChars == 0) return;
  DWORD count = 0;
  for (DWORD offset = 0; room != NULL && offset + 1 < roomBytes && count + 1 < textChars;
       offset += 2) {
    WCHAR c = (WCHAR)(room[offset] | (room[offset + 1] << 8));
    if (c == 0) break;
    text[count++] = c;
  }
  text[count] = 0;
}
