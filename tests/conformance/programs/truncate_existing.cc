// TRUNCATE_EXISTING on a file another handle holds open: allowed when that handle shares writing
// (the other handle then sees the new size and keeps its position), refused when it does not;
// it needs an existing file.
#include <windows.h>

#include "conformance.h"

namespace {

const WCHAR kPath[] = TEXT("\\truncate.bin");

HANDLE Truncate(DWORD access, DWORD share) {
  return CreateFileW(kPath, access, share, NULL, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
}

void Result(const char* what, HANDLE file, DWORD error) {
  Line line;
  line << what << ": ";
  if (file != INVALID_HANDLE_VALUE) {
    line << "opened";
  } else {
    line << "error " << error;
  }
}

}  // namespace

int ConformanceMain(HINSTANCE, LPCWSTR) {
  const DWORD kShareRW = FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE holder = CreateFileW(kPath, GENERIC_READ | GENERIC_WRITE, kShareRW, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
  DWORD written = 0;
  WriteFile(holder, "0123456789", 10, &written, NULL);
  Line() << "the holder wrote " << written << " bytes";

  SetLastError(0);
  HANDLE truncating = Truncate(GENERIC_WRITE, kShareRW);
  DWORD error = LastError();
  Result("TRUNCATE_EXISTING while the holder shares writing", truncating, error);
  Line() << "last error " << error;
  Line() << "the holder sees size " << GetFileSize(holder, NULL);
  Line() << "the holder's position stays at " << SetFilePointer(holder, 0, NULL, FILE_CURRENT);
  WriteFile(holder, "x", 1, &written, NULL);
  Line() << "a write there makes the size " << GetFileSize(truncating, NULL);
  char bytes[16] = {};
  DWORD read = 0;
  SetFilePointer(truncating, 0, NULL, FILE_BEGIN);
  HANDLE reader =
      CreateFileW(kPath, GENERIC_READ, kShareRW, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  ReadFile(reader, bytes, sizeof(bytes), &read, NULL);
  int zeros = 0;
  for (DWORD i = 0; i < read; ++i) zeros += bytes[i] == 0 ? 1 : 0;
  Line() << "reading it back gives " << read << " bytes, " << zeros << " of them zero, the last '"
         << std::string(1, read > 0 ? bytes[read - 1] : '?') << "'";
  CloseHandle(reader);
  CloseHandle(truncating);
  CloseHandle(holder);

  holder = CreateFileW(kPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, NULL);
  truncating = Truncate(GENERIC_WRITE, kShareRW);
  Result("TRUNCATE_EXISTING while the holder shares only reading", truncating, LastError());
  if (truncating != INVALID_HANDLE_VALUE) CloseHandle(truncating);
  Line() << "the size stays " << GetFileSize(holder, NULL);
  CloseHandle(holder);

  DeleteFileW(kPath);
  truncating = Truncate(GENERIC_WRITE, kShareRW);
  Result("TRUNCATE_EXISTING of a missing file", truncating, LastError());
  if (truncating != INVALID_HANDLE_VALUE) CloseHandle(truncating);
  return 0;
}
