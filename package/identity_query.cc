#include <cstring>

#include "package/data_unpacker.h"

void DataUnpacker::QueryDeviceIdentity() {
  BYTE answer[kIdentityAnswerBytes];
  memset(answer, 0, sizeof(answer));

  HMODULE library = LoadLibraryW(TEXT("COREDLL.DLL"));
  if (library == NULL) return;
  // GetProcAddressW returns a generic entry; its real signature is known by name.
  PFN_KernelIoControl ioControl =
      (PFN_KernelIoControl)(void (*)(void))GetProcAddressW(library, TEXT("KernelIoControl"));
  if (ioControl != NULL) {
    DWORD returned = 0;
    if (ioControl(kIoctlDeviceIdentity, answer, sizeof(answer), answer, sizeof(answer),
                  &returned)) {
      DecodeIdentityAnswer(answer, &identity);
    }
  }
  FreeLibrary(library);
}
