// Win32 resource calls: thin adapters over Modules and the string-table reader.
#include <windows.h>

#include <algorithm>
#include <string>

#include "api/call_entry.h"
#include "system/device.h"
#include "resource/modules.h"

namespace {

using wce::Device;
using wce::ResId;

// A resource name or type as Win32 passes it: MAKEINTRESOURCE(n), "#n", or a name.
ResId IdFromArgument(LPCWSTR arg) {
  if (IS_INTRESOURCE(arg)) return ResId::Ordinal(LOWORD(arg));
  if (arg[0] == u'#' && arg[1] != 0) {
    unsigned value = 0;
    const WCHAR* p = arg + 1;
    for (; *p >= u'0' && *p <= u'9' && value <= 0xFFFF; ++p) value = value * 10 + (*p - u'0');
    if (*p == 0 && value <= 0xFFFF) return ResId::Ordinal(static_cast<WORD>(value));
  }
  return ResId::Name(arg);
}

// A null module handle names the program's own module.
HINSTANCE ModuleOrProgram(HINSTANCE h) { return h ? h : Device::Get().program_instance(); }

}  // namespace

HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType) {
  if (const auto error = wce::api::EnterCall("FindResourceW")) {
    SetLastError(*error);
    return nullptr;
  }
  DWORD error = ERROR_SUCCESS;
  const wce::ResEntry* entry = Device::Get().modules().Find(
      ModuleOrProgram(hModule), IdFromArgument(lpType), IdFromArgument(lpName), &error);
  if (entry == nullptr) {
    SetLastError(error);
    return nullptr;
  }
  return reinterpret_cast<HRSRC>(const_cast<wce::ResEntry*>(entry));
}

HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo) {
  if (const auto error = wce::api::EnterCall("LoadResource")) {
    SetLastError(*error);
    return nullptr;
  }
  const wce::ResEntry* entry = Device::Get().modules().Validate(hModule, hResInfo);
  if (entry == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return const_cast<std::uint8_t*>(entry->data.data());
}

DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo) {
  const wce::ResEntry* entry = Device::Get().modules().Validate(hModule, hResInfo);
  if (entry == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return static_cast<DWORD>(entry->data.size());
}

INT_PTR WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
  if (const auto error = wce::api::EnterCall("LoadStringW")) {
    SetLastError(*error);
    return 0;
  }
  if (lpBuffer != nullptr && cchBufferMax <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  DWORD error = ERROR_SUCCESS;
  auto slot = Device::Get().modules().FindString(ModuleOrProgram(hInstance), uID, &error);
  if (!slot) {
    if (lpBuffer != nullptr) lpBuffer[0] = 0;
    SetLastError(error);
    return 0;
  }
  if (lpBuffer == nullptr) {
    // The text in place, read-only; it is zero-terminated when the table stored the terminator.
    return reinterpret_cast<INT_PTR>(slot->units.data());
  }
  // The units as stored: a terminator kept inside the count (llvm-rc /n) is copied and counted
  // like any other unit, as on Win32 ("Next" stored with count 5 copies 5 units and returns 5).
  std::u16string text = slot->Text();
  if (slot->zero_terminated()) text.push_back(u'\0');
  std::size_t copied = std::min(text.size(), static_cast<std::size_t>(cchBufferMax) - 1);
  text.copy(lpBuffer, copied);
  lpBuffer[copied] = 0;
  return static_cast<INT_PTR>(copied);
}
