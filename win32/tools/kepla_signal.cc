// kepla-signal.exe NAME: sets the named event NAME of a program on the same Wine prefix, as
// another process on the device would. Exit status 0 when it was set, 1 when no program has such
// an event, 2 for a usage error.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2 || argv[1][0] == 0) return 2;
  HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]);
  if (event == NULL) return 1;
  BOOL set = SetEvent(event);
  CloseHandle(event);
  return set ? 0 : 1;
}
