// What every conformance program shares: its entry point and the trace it prints.
//
// A conformance program is a plain Win32 program (the platform's headers and the C++ standard
// library, nothing else) that exercises one behaviour and prints what it observes, one fact per
// line. It is built twice: for the simulated device, where the device host calls WinMain
// (entry_device.cc), and for desktop Win32 as a console program run under Wine
// (entry_desktop.cc). Both traces must be equal, apart from lines a program prints only on the
// platform they belong to (#ifdef UNDER_CE: see README.md). A trace never shows handle values,
// pointers, times or paths: they differ between the platforms without meaning anything.
#ifndef KEPLA_TESTS_CONFORMANCE_CONFORMANCE_H_
#define KEPLA_TESTS_CONFORMANCE_CONFORMANCE_H_

#include <windows.h>

#include <sstream>
#include <string>

// The program's body, on its first thread (the device's user-interface thread). `args` is its
// command line without the program's name ("" when there is none). Returns the exit code.
int ConformanceMain(HINSTANCE instance, LPCWSTR args);

// A line that only one platform prints, where the device documents a behaviour that desktop
// Win32 does not share (README.md lists them). Such lines carry a mark ("[device only] ",
// "[desktop only] ") and the comparison of the two traces leaves them out.
enum class Only { kDevice, kDesktop };

// One line of the trace, printed and flushed when the object goes:
//   Line() << "wait returned " << WaitResult(r, 1);
//   Line(Only::kDevice) << "...";   // inside #ifdef UNDER_CE
// Texts of the platform (LPCWSTR) are printed as UTF-8; a null text as "(null)".
class Line {
 public:
  Line() = default;
  explicit Line(Only only);
  ~Line();
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;

  Line& operator<<(LPCWSTR text);
  Line& operator<<(LPWSTR text) { return *this << static_cast<LPCWSTR>(text); }
  Line& operator<<(const char* text);
  Line& operator<<(const std::string& text);
  Line& operator<<(bool value);
  Line& operator<<(long long value);
  Line& operator<<(unsigned long long value);
  Line& operator<<(int value) { return *this << static_cast<long long>(value); }
  Line& operator<<(long value) { return *this << static_cast<long long>(value); }
  Line& operator<<(unsigned value) { return *this << static_cast<unsigned long long>(value); }
  Line& operator<<(unsigned long value) { return *this << static_cast<unsigned long long>(value); }
  // No handle or other pointer is ever printed.
  template <typename T>
  Line& operator<<(T* pointer) = delete;

 private:
  std::string text_;
};

// "yes" or "no".
const char* YesNo(bool value);
// A wait's result as its name: "WAIT_OBJECT_0+i" (for i < count), "WAIT_OBJECT_0+count (input)",
// "WAIT_TIMEOUT", "WAIT_FAILED", or the number.
std::string WaitResult(DWORD result, DWORD count);
// The calling thread's last error as a number (the platforms share the codes).
unsigned long LastError();

#endif  // KEPLA_TESTS_CONFORMANCE_CONFORMANCE_H_
