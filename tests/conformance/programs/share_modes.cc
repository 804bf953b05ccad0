// CreateFileW share modes: a second open conflicts when it asks for access that an open handle
// does not share, or does not share the access an open handle has; an open with no access
// conflicts with nothing.
#include <windows.h>

#include "conformance.h"

namespace {

const WCHAR kPath[] = TEXT("\\share.txt");

const char* AccessName(DWORD access) {
  switch (access) {
    case 0:
      return "none";
    case GENERIC_READ:
      return "read";
    case GENERIC_WRITE:
      return "write";
    default:
      return "read+write";
  }
}

const char* ShareName(DWORD share) {
  switch (share) {
    case 0:
      return "none";
    case FILE_SHARE_READ:
      return "read";
    case FILE_SHARE_WRITE:
      return "write";
    default:
      return "read+write";
  }
}

HANDLE Open(DWORD access, DWORD share) {
  return CreateFileW(kPath, access, share, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
}

void Try(DWORD first_access, DWORD first_share, DWORD second_access, DWORD second_share) {
  HANDLE first = Open(first_access, first_share);
  HANDLE second = Open(second_access, second_share);
  DWORD error = LastError();
  Line line;
  line << "open " << AccessName(first_access) << "/share " << ShareName(first_share) << ", then "
       << AccessName(second_access) << "/share " << ShareName(second_share) << ": ";
  if (second != INVALID_HANDLE_VALUE) {
    line << "opened";
    CloseHandle(second);
  } else {
    line << "error " << error;
  }
  if (first != INVALID_HANDLE_VALUE) CloseHandle(first);
}

}  // namespace

int ConformanceMain(HINSTANCE, LPCWSTR) {
  HANDLE made =
      CreateFileW(kPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  Line() << "file made: " << (made != INVALID_HANDLE_VALUE);
  CloseHandle(made);

  const DWORD kRW = GENERIC_READ | GENERIC_WRITE;
  const DWORD kShareRW = FILE_SHARE_READ | FILE_SHARE_WRITE;
  Try(GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ);
  Try(GENERIC_READ, FILE_SHARE_READ, GENERIC_WRITE, kShareRW);
  Try(GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, 0);
  Try(GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_WRITE);
  Try(GENERIC_READ, kShareRW, GENERIC_WRITE, FILE_SHARE_READ);
  Try(GENERIC_WRITE, FILE_SHARE_WRITE, GENERIC_WRITE, FILE_SHARE_WRITE);
  Try(GENERIC_WRITE, FILE_SHARE_WRITE, GENERIC_READ, kShareRW);
  Try(kRW, kShareRW, kRW, kShareRW);
  Try(kRW, kShareRW, GENERIC_READ, FILE_SHARE_READ);
  Try(kRW, 0, GENERIC_READ, kShareRW);
  Try(0, 0, kRW, kShareRW);
  Try(0, 0, GENERIC_READ, 0);
  Try(kRW, 0, 0, 0);

  // A second open under another spelling of the name is the same file.
  HANDLE first = Open(GENERIC_READ, 0);
  HANDLE second = CreateFileW(TEXT("\\SHARE.TXT"), GENERIC_READ, kShareRW, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
  DWORD error = LastError();
  Line() << "another spelling of the name conflicts: "
         << (second == INVALID_HANDLE_VALUE && error == ERROR_SHARING_VIOLATION);
  if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
  CloseHandle(first);
  DeleteFileW(kPath);
  return 0;
}
