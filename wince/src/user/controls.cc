#include "user/controls.h"

#include <algorithm>

#include <commctrl.h>

namespace wce {
namespace {

// Applies one PBM_ message to `bar`; returns its result. Unknown messages leave *handled false.
LRESULT ApplyProgressMessage(ProgressState& bar, UINT message, WPARAM wparam, LPARAM lparam,
                             bool* handled) {
  auto clamp = [&bar](long long pos) {
    return static_cast<int>(std::clamp<long long>(pos, bar.min, std::max(bar.min, bar.max)));
  };
  const ProgressState old = bar;
  *handled = true;
  switch (message) {
    case PBM_SETRANGE:
      bar.min = LOWORD(lparam);
      bar.max = HIWORD(lparam);
      bar.pos = clamp(bar.pos);
      return MAKELONG(static_cast<WORD>(old.min), static_cast<WORD>(old.max));
    case PBM_SETRANGE32:
      bar.min = static_cast<int>(wparam);
      bar.max = static_cast<int>(lparam);
      bar.pos = clamp(bar.pos);
      return MAKELONG(static_cast<WORD>(old.min), static_cast<WORD>(old.max));
    case PBM_SETSTEP:
      bar.step = static_cast<int>(wparam);
      return old.step;
    case PBM_STEPIT: {
      // Passing the end starts the bar over from the other end.
      const long long next = static_cast<long long>(bar.pos) + bar.step;
      if (next > bar.max) {
        bar.pos = bar.min;
      } else if (next < bar.min) {
        bar.pos = bar.max;
      } else {
        bar.pos = static_cast<int>(next);
      }
      return old.pos;
    }
    case PBM_SETPOS:
      bar.pos = clamp(static_cast<int>(wparam));
      return old.pos;
    case PBM_DELTAPOS:
      bar.pos = clamp(static_cast<long long>(bar.pos) + static_cast<int>(wparam));
      return old.pos;
    case PBM_GETPOS:
      return bar.pos;
    case PBM_GETRANGE:
      if (auto* range = reinterpret_cast<PBRANGE*>(lparam)) {
        range->iLow = bar.min;
        range->iHigh = bar.max;
      }
      return wparam ? bar.min : bar.max;
    default:
      *handled = false;
      return 0;
  }
}

}  // namespace

Controls::Controls(WindowTable& table, WindowLifecycle& lifecycle, const UpperFloors& floors)
    : table_(table), mu_(table.mutex()), lifecycle_(lifecycle), floors_(floors) {}

LRESULT Controls::ProgressProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message < PBM_SETRANGE || message > PBM_GETPOS) {
    return lifecycle_.DefaultProc(hwnd, message, wparam, lparam);
  }
  LRESULT result;
  bool moved;
  int id, pos;
  {
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    Window* w = table_.FindLocked(hwnd);
    if (w == nullptr) return 0;
    const ProgressState before = w->progress;
    bool handled;
    result = ApplyProgressMessage(w->progress, message, wparam, lparam, &handled);
    moved = w->progress.pos != before.pos;
    if (moved || w->progress.min != before.min || w->progress.max != before.max) {
      table_.BumpGenerationLocked();
    }
    id = static_cast<int>(w->id);
    pos = w->progress.pos;
  }
  if (moved && floors_.events != nullptr) floors_.events->OnProgressMoved(id, pos);
  return result;
}

}  // namespace wce
