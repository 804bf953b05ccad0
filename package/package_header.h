// The package trailer: the last 512 bytes of a firmware package, scrambled, naming the model,
// language, region and target ROM versions the package is made for.
#ifndef KEPLA_PACKAGE_PACKAGE_HEADER_H_
#define KEPLA_PACKAGE_PACKAGE_HEADER_H_

#include <windows.h>

#include <cstddef>

// Sizes of the package layout, in bytes.
const DWORD kTrailerBytes = 512;      // the scrambled header at the end, never copied
const DWORD kFirstBlockBytes = 2048;  // scrambled in the package, descrambled in the image
const DWORD kSmallestPackageBytes = kFirstBlockBytes + kTrailerBytes;

// The trailer after descrambling. Each field is a UTF-16LE text that ends with a zero character
// inside its room; rooms and arrays coincide byte for byte. A header filled by
// DecodePackageHeader always has every field terminated inside its array, so the fields may be
// read as zero-terminated texts: the 64-byte rooms give at most 31 characters, `code` at most 127.
struct PackageHeader {
  WCHAR language[32];       // bytes 0 to 63: must equal the device's language
  WCHAR code[128];          // bytes 64 to 319: must contain the device's region code
  WCHAR model[32];          // bytes 320 to 383: must equal the device's model
  WCHAR romVersion[32];     // bytes 384 to 447: the ROM version the package brings
  WCHAR extRomVersion[32];  // bytes 448 to 511: the extended ROM version the package brings
};

static_assert(sizeof(WCHAR) == 2, "trailer texts are UTF-16");
static_assert(sizeof(PackageHeader) == kTrailerBytes, "the header is the whole trailer");
static_assert(offsetof(PackageHeader, code) == 64 && offsetof(PackageHeader, model) == 320 &&
                  offsetof(PackageHeader, romVersion) == 384 &&
                  offsetof(PackageHeader, extRomVersion) == 448,
              "field offsets of the trailer");

// Fills `header` from a descrambled trailer of kTrailerBytes bytes. Each field is read within its
// room only: a text without its zero character is cut to leave room for one, and the bytes after
// a field's zero character are not kept. Pure: any thread may call.
void DecodePackageHeader(const BYTE* trailer, PackageHeader* header);

// Reads the trailer of the open `file` of `size` bytes, descrambles it and decodes it into
// `header`. Leaves the file pointer after the trailer. Returns FALSE, with `header` untouched,
// when the file holds no trailer (512 bytes or less) or it cannot be read in full.
BOOL ReadPackageHeader(HANDLE file, DWORD size, PackageHeader* header);

#endif  // KEPLA_PACKAGE_PACKAGE_HEADER_H_
