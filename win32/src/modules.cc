// String resources and export look-ups in the device's forms.
#include <windows.h>

extern "C" INT_PTR WINAPI KeplaShimLoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer,
                                               int cchBufferMax) {
  // The copy form is the desktop's, as on the device.
  if (lpBuffer != NULL || cchBufferMax != 0) {
    return LoadStringW(hInstance, uID, lpBuffer, cchBufferMax);
  }
  // Desktop Win32 gives the text in place when cchBufferMax is 0, with its address written into
  // the buffer argument; the device returns the address.
  LPCWSTR text = NULL;
  int length = LoadStringW(hInstance, uID, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == NULL) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  return reinterpret_cast<INT_PTR>(text);
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
