// The desktop entry point: a console program (its standard output is the trace), with the wide
// command line; the first argument, if any, is the program's.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "conformance.h"

int wmain(int argc, wchar_t** argv) {
  // The trace's lines end in "\n" on both platforms, not "\r\n".
  _setmode(_fileno(stdout), _O_BINARY);
  // A fault ends the program with its exit code instead of a dialog nobody answers.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  return ConformanceMain(GetModuleHandleW(NULL), argc > 1 ? argv[1] : L"");
}
