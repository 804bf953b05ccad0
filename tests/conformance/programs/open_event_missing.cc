// OpenEventW succeeds only while an event of that name exists: a name never made, and a name
// whose last handle was closed, fail with ERROR_FILE_NOT_FOUND; an opened handle sets the event.
#include <windows.h>

#include "conformance.h"

int ConformanceMain(HINSTANCE, LPCWSTR) {
  const WCHAR name[] = TEXT("ConformanceOpenEvent");
  HANDLE missing = OpenEventW(EVENT_ALL_ACCESS, FALSE, name);
  DWORD error = LastError();
  Line() << "OpenEventW of a name never made: " << (missing == NULL ? "NULL" : "a handle")
         << ", last error " << error;

  HANDLE made = CreateEventW(NULL, FALSE, FALSE, name);
  HANDLE opened = OpenEventW(EVENT_ALL_ACCESS, FALSE, name);
  Line() << "OpenEventW once it exists gives a handle: " << (opened != NULL);
  Line() << "a handle of its own: " << (opened != made);
  SetEvent(opened);
  Line() << "setting the opened handle sets the event: "
         << (WaitForSingleObject(made, 0) == WAIT_OBJECT_0);
  CloseHandle(made);
  HANDLE again = OpenEventW(EVENT_ALL_ACCESS, FALSE, name);
  Line() << "while one handle remains it opens: " << (again != NULL);
  CloseHandle(again);
  CloseHandle(opened);

  HANDLE gone = OpenEventW(EVENT_ALL_ACCESS, FALSE, name);
  error = LastError();
  Line() << "OpenEventW after the last handle closed: " << (gone == NULL ? "NULL" : "a handle")
         << ", last error " << error;
  return 0;
}
