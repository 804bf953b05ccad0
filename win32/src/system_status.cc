// Memory load and card free space: the profile's figures over the desktop's answers.
#include <windows.h>

#include <cwchar>

#include "device_profile.h"

namespace {

// The card a path lies on ("D:\Storage Card\x" and "\Storage Card\x" name "Storage Card"), when
// the profile sets its free space; NULL otherwise.
const kepla_shim::CardSpace* CardOf(LPCWSTR path) {
  if (path == NULL) return NULL;
  const wchar_t* p = path;
  if (p[0] != 0 && p[1] == L':') p += 2;
  if (*p != L'\\' && *p != L'/') return NULL;
  ++p;
  const wchar_t* end = p;
  while (*end != 0 && *end != L'\\' && *end != L'/') ++end;
  const size_t length = static_cast<size_t>(end - p);
  for (const kepla_shim::CardSpace& card : kepla_shim::Profile().cards) {
    if (card.name.size() == length && _wcsnicmp(card.name.c_str(), p, length) == 0) return &card;
  }
  return NULL;
}

}  // namespace

extern "C" void WINAPI KeplaShimGlobalMemoryStatus(LPMEMORYSTATUS lpBuffer) {
  if (lpBuffer == NULL) return;
  GlobalMemoryStatus(lpBuffer);
  lpBuffer->dwMemoryLoad = static_cast<DWORD>(kepla_shim::Profile().memory_load);
}

extern "C" BOOL WINAPI KeplaShimGetDiskFreeSpaceExW(LPCWSTR lpDirectoryName,
                                                    PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                                                    PULARGE_INTEGER lpTotalNumberOfBytes,
                                                    PULARGE_INTEGER lpTotalNumberOfFreeBytes) {
  ULARGE_INTEGER available, total, free;
  if (!GetDiskFreeSpaceExW(lpDirectoryName, &available, &total, &free)) return FALSE;
  if (const kepla_shim::CardSpace* card = CardOf(lpDirectoryName)) {
    available.QuadPart = card->free_bytes;
    free.QuadPart = card->free_bytes;
    if (total.QuadPart < free.QuadPart) total.QuadPart = free.QuadPart;
  }
  if (lpFreeBytesAvailableToCaller != NULL) *lpFreeBytesAvailableToCaller = available;
  if (lpTotalNumberOfBytes != NULL) *lpTotalNumberOfBytes = total;
  if (lpTotalNumberOfFreeBytes != NULL) *lpTotalNumberOfFreeBytes = free;
  return TRUE;
}
