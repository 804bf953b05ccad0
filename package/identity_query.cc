#include <windows.h>

#include <cstring>

#include "package/data_unpacker.h"

namespace {

// The signature of the "KernelIoControl" export of COREDLL.DLL, which no public header declares.
typedef BOOL(WINAPI* KernelIoControlProc)(DWORD dwIoControlCode, LPVOID lpInBuf, DWORD nInBufSize,
                                          LPVOID lpOutBuf, DWORD nOutBufSize,
                                          LPDWORD lpBytesReturned);

}  // namespace

void DataUnpacker::QueryDeviceIdentity() {
  BYTE answer[kIdentityAnswerBytes];
  memset(answer, 0, sizeof(answer));

  HMODULE library = LoadLibraryW(TEXT("COREDLL.DLL"));
  if (library == NULL) return;
  // GetProcAddressW returns a generic entry; its real signature is known by name.
  KernelIoControlProc ioControl =
      (KernelIoControlProc)(void (*)(void))GetProcAddressW(library, TEXT("KernelIoControl"));
  if (ioControl != NULL) {
    DWORD returned = 0;
    if (ioControl(kIoctlDeviceIdentity, answer, sizeof(answer), answer, sizeof(answer),
                  &returned)) {
      DecodeIdentityAnswer(answer, &identity);
    }
  }
  FreeLibrary(library);
}
