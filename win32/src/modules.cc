// String resources and export look-ups in the device's forms.
#include <windows.h>

extern "C" INT_PTR WINAPI KeplaShimLoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer,
                                               int cchBufferMax) {
  // Desktop Win32 gives the text in place when cchBufferMax is 0, with its address written into
  // the buffer argument and its length (terminators stored inside the count included) returned.
  LPCWSTR text = NULL;
  int length = LoadStringW(hInstance, uID, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == NULL) {
    if (lpBuffer != NULL && cchBufferMax > 0) lpBuffer[0] = 0;
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  if (lpBuffer == NULL && cchBufferMax == 0) return reinterpret_cast<INT_PTR>(text);
  if (lpBuffer == NULL || cchBufferMax <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // The stored terminator is not part of the text.
  while (length > 0 && text[length - 1] == 0) --length;
  int copied = length < cchBufferMax - 1 ? length : cchBufferMax - 1;
  for (int i = 0; i < copied; ++i) lpBuffer[i] = text[i];
  lpBuffer[copied] = 0;
  return copied;
}

extern "C" FARPROC WINAPI GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName) {
  if (lpProcName == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  if (IS_INTRESOURCE(lpProcName)) {
    return GetProcAddress(hModule, reinterpret_cast<LPCSTR>(lpProcName));
  }
  char name[256];
  int n = WideCharToMultiByte(CP_ACP, 0, lpProcName, -1, name, sizeof(name), NULL, NULL);
  if (n <= 0) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return NULL;
  }
  return GetProcAddress(hModule, name);
}
