#include "user/other_processes.h"

namespace wce {

bool CrossesProcesses(UINT msg, WPARAM, LPARAM lparam) {
  switch (msg) {
    case WM_NULL:
    case WM_CLOSE:
      return true;
    case WM_COMMAND:
      return lparam == 0;
    default:
      return false;
  }
}

}  // namespace wce
