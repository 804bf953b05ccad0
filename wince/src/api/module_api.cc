// GetModuleFileNameW, LoadLibraryW, GetProcAddressW, FreeLibrary, and the one library the device
// knows by name: COREDLL.DLL, whose KernelIoControl export hands I/O controls to the OEM layer.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "api/call_entry.h"
#include "system/device.h"
#include "model/oem.h"

namespace {

// COREDLL.DLL is always resident: loading it hands out the same module handle every time, and
// freeing it never unloads it. The value lies apart from kernel handles and program instances.
const HMODULE kCoreDll = reinterpret_cast<HMODULE>(std::uintptr_t{0x03F00000});

bool IsCoreDllName(std::u16string_view name) {
  // Names are compared without case and without the extension, as the loader does.
  constexpr std::u16string_view kBase = u"coredll";
  auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
  auto equal_folded = [&](std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char16_t x, char16_t y) { return fold(x) == y; });
  };
  if (equal_folded(name, kBase)) return true;
  return name.size() == kBase.size() + 4 && equal_folded(name.substr(0, kBase.size()), kBase) &&
         equal_folded(name.substr(kBase.size()), u".dll");
}

BOOL WINAPI KernelIoControlExport(DWORD dwIoControlCode, LPVOID, DWORD, LPVOID lpOutBuf,
                                  DWORD nOutBufSize, LPDWORD lpBytesReturned) {
  wce::ThreadGate();
  DWORD returned = 0;
  DWORD error = ERROR_SUCCESS;
  if (!wce::OemIoControl(wce::Device::Get().profile(), dwIoControlCode, lpOutBuf, nOutBufSize,
                         &returned, &error)) {
    SetLastError(error);
    return FALSE;
  }
  if (lpBytesReturned != nullptr) *lpBytesReturned = returned;
  return TRUE;
}

}  // namespace

// NULL or the program's own instance: the program's device path from the profile. The copy is
// cut to nSize - 1 characters plus a terminator; the result is the number of characters copied.
DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("GetModuleFileNameW")) {
    SetLastError(*error);
    return 0;
  }
  wce::Device& device = wce::Device::Get();
  if (hModule != nullptr && hModule != device.program_instance()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (lpFilename == nullptr || nSize == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const std::u16string& path = device.profile().program;
  const DWORD copied = static_cast<DWORD>(std::min<std::size_t>(path.size(), nSize - 1));
  std::copy_n(path.data(), copied, lpFilename);
  lpFilename[copied] = 0;
  if (copied < path.size()) SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return copied;
}

HINSTANCE WINAPI LoadLibraryW(LPCWSTR lpLibFileName) {
  wce::ThreadGate();
  if (const auto error =
          wce::api::EnterCall("LoadLibraryW", wce::api::PathOrEmpty(lpLibFileName))) {
    SetLastError(*error);
    return nullptr;
  }
  if (lpLibFileName == nullptr || !IsCoreDllName(lpLibFileName)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return kCoreDll;
}

// Exports are found by their exact (case-sensitive) name; ordinals are not supported.
FARPROC WINAPI GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("GetProcAddressW")) {
    SetLastError(*error);
    return nullptr;
  }
  if (hModule != kCoreDll) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (lpProcName == nullptr || IS_INTRESOURCE(lpProcName) ||
      std::u16string_view(lpProcName) != u"KernelIoControl") {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  // Through void (*)(), the generic function pointer, as GetProcAddress's callers cast back.
  BOOL(WINAPI * entry)(DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD) = &KernelIoControlExport;
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(entry));
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("FreeLibrary")) {
    SetLastError(*error);
    return FALSE;
  }
  if (hLibModule != kCoreDll) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
