// The running device's identity, as its OEM kernel layer answers the identity I/O control.
#ifndef KEPLA_PACKAGE_DEVICE_IDENTITY_H_
#define KEPLA_PACKAGE_DEVICE_IDENTITY_H_

#include <windows.h>

// Five texts of at most 31 characters, always terminated; all zero until the query answered.
// The names match the PackageHeader fields they are compared with.
struct DeviceIdentity {
  WCHAR language[32];       // three characters after the first blank of extRomVersion
  WCHAR code[32];           // region code: extRomVersion after its second blank
  WCHAR model[32];          // model name
  WCHAR romVersion[32];     // ROM version
  WCHAR extRomVersion[32];  // the whole extended ROM version text
};

static_assert(sizeof(DeviceIdentity) == 320, "five fields of 32 wide characters");

// The identity I/O control: a HAL code of the OEM range (device type 0x0101, function 2050,
// buffered, any access), with one 468-byte buffer passed as input (all zero) and output.
const DWORD kIoctlDeviceIdentity =
    CTL_CODE(FILE_DEVICE_HAL, 2050, METHOD_BUFFERED, FILE_ANY_ACCESS);
const DWORD kIdentityAnswerBytes = 468;
// Where the answer holds its UTF-16LE texts, with their rooms in bytes.
const DWORD kAnswerModelOffset = 12;
const DWORD kAnswerModelRoom = 128;
const DWORD kAnswerRomOffset = 140;
const DWORD kAnswerRomRoom = 264;
const DWORD kAnswerExtRomOffset = 404;
const DWORD kAnswerExtRomRoom = 64;

// Fills `identity` from an answer buffer of kIdentityAnswerBytes bytes: model, ROM version and
// extended ROM version are read within their rooms and cut at 31 characters; language and code
// are split from the extended ROM version (SplitExtRomVersion). Pure: any thread may call.
void DecodeIdentityAnswer(const BYTE* answer, DeviceIdentity* identity);

// Splits the extended ROM version text ("1.13.407 ENG WWE") into `language` and `code`:
// - no blank: both are left as they are;
// - one blank: `code` is the rest after it, `language` is left as it is;
// - two or more: `language` is the three characters after the first blank, taken by position
//   (so "1.2 EN WW" gives "EN "), and `code` is the rest after the second blank.
// Both are cut at 31 characters.
void SplitExtRomVersion(LPCWSTR extRomVersion, DeviceIdentity* identity);

#endif  // KEPLA_PACKAGE_DEVICE_IDENTITY_H_
