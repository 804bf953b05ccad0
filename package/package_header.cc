#include "package/package_header.h"

#include <cstring>

#include "package/descramble.h"
#include "package/text_bounds.h"

namespace {

// Reads one field of the trailer into the header array of the same size.
template <size_t N>
void DecodeField(const BYTE* trailer, WCHAR (&field)[N], const PackageHeader& layout) {
  size_t offset = (const BYTE*)field - (const BYTE*)&layout;
  ReadFieldText(trailer + offset, N * sizeof(WCHAR), field, N);
}

}  // namespace

void DecodePackageHeader(const BYTE* trailer, PackageHeader* header) {
  if (trailer == NULL || header == NULL) return;
  memset(header, 0, sizeof(PackageHeader));
  DecodeField(trailer, header->language, *header);
  DecodeField(trailer, header->code, *header);
  DecodeField(trailer, header->model, *header);
  DecodeField(trailer, header->romVersion, *header);
  DecodeField(trailer, header->extRomVersion, *header);
}

BOOL ReadPackageHeader(HANDLE file, DWORD size, PackageHeader* header) {
  if (size <= kTrailerBytes || header == NULL) return FALSE;
  // The offset is an unsigned 32-bit value: pass the (zero) high part so that offsets of 2 GiB
  // and more are not taken as negative. No valid offset here reads as INVALID_SET_FILE_POINTER.
  LONG high = 0;
  DWORD offset = size - kTrailerBytes;
  if (SetFilePointer(file, (LONG)offset, &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
    return FALSE;
  BYTE trailer[kTrailerBytes];
  DWORD read = 0;
  if (!ReadFile(file, trailer, kTrailerBytes, &read, NULL) || read != kTrailerBytes) return FALSE;
  if (!descramble(trailer, kTrailerBytes)) return FALSE;
  DecodePackageHeader(trailer, header);
  return TRUE;
}
