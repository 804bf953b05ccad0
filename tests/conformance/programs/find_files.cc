// FindFirstFileW/FindNextFileW: "*.*" matches names with and without a dot, patterns match
// without regard to case, a folder lists "." and ".." (the root folder does not), and the
// errors for no match, a missing folder and the end of a search.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "conformance.h"

namespace {

void MakeFile(LPCWSTR path) {
  HANDLE file =
      CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  CloseHandle(file);
}

// A name as text for sorting (the names made here are ASCII; anything else shows as "?").
std::string AsciiOf(LPCWSTR name) {
  std::string text;
  for (const WCHAR* p = name; *p != 0; ++p) text += static_cast<char>(*p < 0x80 ? *p : '?');
  return text;
}

// The names a search lists, sorted (the order of a listing is the file system's own).
void List(const char* what, LPCWSTR pattern) {
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(pattern, &data);
  if (search == INVALID_HANDLE_VALUE) {
    DWORD error = LastError();
    Line() << what << ": error " << error;
    return;
  }
  std::vector<std::string> names;
  do {
    std::string name = AsciiOf(data.cFileName);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) name += "/";
    names.push_back(name);
  } while (FindNextFileW(search, &data));
  DWORD error = LastError();
  FindClose(search);
  std::sort(names.begin(), names.end());
  Line line;
  line << what << ":";
  for (const std::string& name : names) line << " " << name;
  line << " (then error " << error << ")";
}

}  // namespace

int ConformanceMain(HINSTANCE, LPCWSTR) {
  Line() << "folder made: " << (CreateDirectoryW(TEXT("\\find"), NULL) != FALSE);
  CreateDirectoryW(TEXT("\\find\\sub"), NULL);
  MakeFile(TEXT("\\find\\a.txt"));
  MakeFile(TEXT("\\find\\B.BIN"));
  MakeFile(TEXT("\\find\\noext"));
  MakeFile(TEXT("\\find\\two.dots.bin"));

  List("\\find\\*.*", TEXT("\\find\\*.*"));
  List("\\find\\*", TEXT("\\find\\*"));
  List("\\find\\*.bin", TEXT("\\find\\*.bin"));
  List("\\find\\A.*", TEXT("\\find\\A.*"));
  List("\\find\\?.txt", TEXT("\\find\\?.txt"));
  List("\\find\\NOEXT", TEXT("\\find\\NOEXT"));
  List("\\find\\sub\\*.*", TEXT("\\find\\sub\\*.*"));
  List("\\find\\none*", TEXT("\\find\\none*"));
  List("\\missing\\*", TEXT("\\missing\\*"));
  List("\\fi*", TEXT("\\fi*"));
  List("\\*", TEXT("\\*"));
  return 0;
}
