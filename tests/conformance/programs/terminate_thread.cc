// TerminateThread of a thread blocked in a wait: it runs no more of its own code, its thread
// object is signalled with the exit code given, and what it had opened stays open and usable.
#include <windows.h>

#include "conformance.h"

namespace {

HANDLE g_ready = NULL;
HANDLE g_never = NULL;
HANDLE g_its_event = NULL;
HANDLE g_its_file = INVALID_HANDLE_VALUE;
volatile bool g_went_on = false;

DWORD WINAPI Worker(LPVOID) {
  g_its_event = CreateEventW(NULL, TRUE, FALSE, NULL);
  g_its_file = CreateFileW(TEXT("\\terminate.bin"), GENERIC_READ | GENERIC_WRITE, 0, NULL,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  SetEvent(g_ready);
  WaitForSingleObject(g_never, INFINITE);
  g_went_on = true;
  return 5;
}

}  // namespace

int ConformanceMain(HINSTANCE, LPCWSTR) {
  g_ready = CreateEventW(NULL, FALSE, FALSE, NULL);
  g_never = CreateEventW(NULL, TRUE, FALSE, NULL);
  HANDLE worker = CreateThread(NULL, 0, Worker, NULL, 0, NULL);
  Line() << "the worker is ready: " << (WaitForSingleObject(g_ready, 10000) == WAIT_OBJECT_0);
  Line() << "the worker's thread is not signalled while it waits: "
         << (WaitForSingleObject(worker, 50) == WAIT_TIMEOUT);
  DWORD code = 0;
  GetExitCodeThread(worker, &code);
  Line() << "its exit code meanwhile: " << code;

  Line() << "TerminateThread: " << (TerminateThread(worker, 99) != FALSE);
  Line() << "its thread is then signalled: "
         << (WaitForSingleObject(worker, 10000) == WAIT_OBJECT_0);
  GetExitCodeThread(worker, &code);
  Line() << "its exit code: " << code;
  SetEvent(g_never);
  Line() << "it ran none of its code after the wait: "
         << (WaitForSingleObject(worker, 0) == WAIT_OBJECT_0 && !g_went_on);

  Line() << "its event can still be set: " << (SetEvent(g_its_event) != FALSE);
  Line() << "and is signalled: " << (WaitForSingleObject(g_its_event, 0) == WAIT_OBJECT_0);
  DWORD written = 0;
  Line() << "its file can still be written: "
         << (WriteFile(g_its_file, "abc", 3, &written, NULL) != FALSE) << ", " << written
         << " bytes";
  Line() << "its file's size: " << GetFileSize(g_its_file, NULL);
  HANDLE other = CreateFileW(TEXT("\\terminate.bin"), GENERIC_READ, FILE_SHARE_READ, NULL,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  DWORD error = LastError();
  Line() << "it still holds the file unshared: "
         << (other == INVALID_HANDLE_VALUE && error == ERROR_SHARING_VIOLATION);
  Line() << "closing its file: " << (CloseHandle(g_its_file) != FALSE);
  Line() << "closing its event: " << (CloseHandle(g_its_event) != FALSE);
  Line() << "deleting the file: " << (DeleteFileW(TEXT("\\terminate.bin")) != FALSE);

  Line() << "closing its thread handle: " << (CloseHandle(worker) != FALSE);
  CloseHandle(g_never);
  CloseHandle(g_ready);
  return 0;
}
