#include "user/window_system.h"

namespace wce {

LRESULT CALLBACK ClassHandledProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

WindowSystem::WindowSystem(Scheduler& scheduler, const HandleTable& handles, Modules& modules,
                           const ScreenMetrics& screen)
    : scheduler_(scheduler),
      table_(scheduler, screen),
      queues_(scheduler, handles, table_, floors_),
      timers_(scheduler, table_, queues_),
      view_(table_, queues_),
      lifecycle_(table_, queues_, floors_),
      state_(table_, queues_, view_),
      dialogs_(table_, queues_, lifecycle_, state_, modules, floors_),
      boxes_(table_, lifecycle_, state_, dialogs_, floors_),
      controls_(table_, lifecycle_, floors_) {
  RegisterBuiltinClasses();
  scheduler_.on_thread_exit = [this](DeviceThread& thread) { ThreadEnded(thread); };
}

WindowSystem::~WindowSystem() { scheduler_.on_thread_exit = nullptr; }

void WindowSystem::Connect(OtherProcesses* others, WindowEvents* events) {
  floors_.others = others;
  floors_.events = events;
}

void WindowSystem::RegisterBuiltinClasses() {
  auto plain = [this](HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    return lifecycle_.DefaultProc(hwnd, message, wparam, lparam);
  };
  table_.RegisterHandledClass(u"Dialog", WindowKind::kDialog, true, false,
                              [this](HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
                                return dialogs_.ClassProc(hwnd, message, wparam, lparam);
                              });
  table_.RegisterHandledClass(u"MessageBox", WindowKind::kMessageBox, true, false,
                              [this](HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
                                return boxes_.ClassProc(hwnd, message, wparam, lparam);
                              });
  table_.RegisterHandledClass(u"Static", WindowKind::kStatic, true, false, plain);
  table_.RegisterHandledClass(u"msctls_progress32", WindowKind::kProgress, true, false,
                              [this](HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
                                return controls_.ProgressProc(hwnd, message, wparam, lparam);
                              });
  table_.RegisterHandledClass(u"Button", WindowKind::kPlain, true, false, plain);
  table_.RegisterHandledClass(u"Edit", WindowKind::kPlain, true, false, plain);
}

ATOM WindowSystem::RegisterInternalClass(std::u16string_view name,
                                         WindowTable::ClassHandler handler) {
  return table_.RegisterHandledClass(name, WindowKind::kPlain, false, true, std::move(handler));
}

void WindowSystem::ThreadEnded(DeviceThread& thread) {
  bool published_change = false;
  {
    MutexLock lock(scheduler_.mutex());
    table_.mutex().AssertHeld();
    queues_.mutex().AssertHeld();
    std::shared_ptr<ThreadQueue> queue = queues_.CloseLocked(thread);
    if (!queue) return;
    // The thread can run no more window procedures: its windows go without WM_DESTROY.
    const std::vector<HWND> gone = table_.WindowsOfQueueLocked(queue.get());
    for (HWND hwnd : gone) {
      const Window* w = table_.FindLocked(hwnd);
      if (w == nullptr) continue;
      published_change |= w->top_level() && !w->window_class->internal;
      table_.ForgetLocked(hwnd);
    }
    if (!gone.empty()) table_.BumpGenerationLocked();
    scheduler_.NotifyAll();
  }
  if (published_change) {
    try {
      lifecycle_.PublishChanged();
    } catch (...) {
      // Publishing is best effort; a thread on its way out must not throw from here.
    }
  }
}

}  // namespace wce
