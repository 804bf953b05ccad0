// COREDLL.DLL for desktop Win32: the device's OEM identity I/O control, answered from the device
// profile. The program finds it with LoadLibraryW("COREDLL.DLL") on the search path.
#include <windows.h>

#include <cstring>
#include <string>

#include "device_profile.h"

namespace {

// The identity query: a HAL code of the OEM range (device type 0x0101, function 2050, buffered,
// any access) and its 468-byte answer of three UTF-16LE texts in fixed rooms.
const DWORD kIoctlIdentity = (FILE_DEVICE_HAL << 16) | (2050 << 2);
const DWORD kAnswerBytes = 468;

// Writes `text` at `at`, cut to `room` bytes less the terminator, never between the halves of a
// surrogate pair. The room is zero already.
void PutText(const std::wstring& text, DWORD room, BYTE* at) {
  size_t units = text.size();
  if (units > room / 2 - 1) {
    units = room / 2 - 1;
    if (units > 0 && text[units - 1] >= 0xD800 && text[units - 1] < 0xDC00) --units;
  }
  for (size_t i = 0; i < units; ++i) {
    const unsigned unit = static_cast<unsigned short>(text[i]);
    at[2 * i] = static_cast<BYTE>(unit & 0xFF);
    at[2 * i + 1] = static_cast<BYTE>(unit >> 8);
  }
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI
    KernelIoControl(DWORD dwIoControlCode, LPVOID, DWORD, LPVOID lpOutBuf, DWORD nOutBufSize,
                    LPDWORD lpBytesReturned) {
  const kepla_shim::DeviceProfile& profile = kepla_shim::Profile();
  if (dwIoControlCode != kIoctlIdentity || !profile.identity_answers) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  if (lpOutBuf == NULL || nOutBufSize < kAnswerBytes) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  BYTE* answer = static_cast<BYTE*>(lpOutBuf);
  std::memset(answer, 0, kAnswerBytes);
  PutText(profile.model, 128, answer + 12);
  PutText(profile.rom_version, 264, answer + 140);
  PutText(profile.ext_rom_version, 64, answer + 404);
  if (lpBytesReturned != NULL) *lpBytesReturned = kAnswerBytes;
  return TRUE;
}
