// DeleteFileW of a file that is open: refused while a handle that does not share deletion is
// open, on both platforms; with FILE_SHARE_DELETE the desktop deletes it (at the last close),
// the device still refuses. A read-only file is never deleted.
#include <windows.h>

#include "conformance.h"

namespace {

const WCHAR kPath[] = TEXT("\\delete.txt");

HANDLE Make(DWORD share) {
  return CreateFileW(kPath, GENERIC_WRITE, share, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
}

void TryDelete(const char* when) {
  BOOL deleted = DeleteFileW(kPath);
  DWORD error = LastError();
  Line line;
  line << "DeleteFileW " << when << ": ";
  if (deleted) {
    line << "deleted";
  } else {
    line << "error " << error;
  }
}

void Exists(const char* when) {
  DWORD attributes = GetFileAttributesW(kPath);
  DWORD error = LastError();
  Line line;
  line << "the file " << when << ": ";
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    line << "exists";
  } else {
    line << "error " << error;
  }
}

}  // namespace

int ConformanceMain(HINSTANCE, LPCWSTR) {
  HANDLE file = Make(FILE_SHARE_READ | FILE_SHARE_WRITE);
  TryDelete("while open, sharing read and write");
  CloseHandle(file);
  Exists("after that close");
  TryDelete("once closed");
  Exists("afterwards");

  file = Make(FILE_SHARE_READ);
  HANDLE reader = CreateFileW(kPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  Line() << "a second handle opens: " << (reader != INVALID_HANDLE_VALUE);
  CloseHandle(file);
  TryDelete("while the second handle is open");
  CloseHandle(reader);
  TryDelete("once both are closed");

  file = Make(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  BOOL deleted = DeleteFileW(kPath);
  DWORD error = LastError();
#ifdef UNDER_CE
  // The device refuses to delete an open file whatever its share mode.
  Line(Only::kDevice) << "DeleteFileW while open, sharing deletion: "
                      << (deleted ? "deleted" : "refused") << ", last error " << error;
  CloseHandle(file);
  Line(Only::kDevice) << "DeleteFileW after the close: " << (DeleteFileW(kPath) != FALSE);
#else
  // Desktop Win32 deletes it at its last close.
  Line(Only::kDesktop) << "DeleteFileW while open, sharing deletion: "
                       << (deleted ? "deleted" : "refused") << ", last error " << error;
  CloseHandle(file);
#endif
  Exists("after the last close");

  file = Make(0);
  CloseHandle(file);
  SetFileAttributesW(kPath, FILE_ATTRIBUTE_READONLY);
  TryDelete("of a read-only file");
  SetFileAttributesW(kPath, FILE_ATTRIBUTE_NORMAL);
  TryDelete("once writable again");
  TryDelete("of a missing file");
  return 0;
}
