// kepla-probe.exe: prints one known line and ends. The host starts the 32-bit build of it under
// Wine to learn whether this machine really runs 32-bit Win32 programs (sim/wine/wine_host.h):
// neither an installed loader nor `wine --version` answers that.
#include <windows.h>

#include <cstdio>

int main() {
  std::printf("kepla-probe: the %u-bit Win32 build runs\n",
              static_cast<unsigned>(sizeof(void*) * 8));
  std::fflush(stdout);
  return 0;
}
