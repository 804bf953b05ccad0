// The window table: window classes, windows by handle, the stacking order of top-level windows,
// proxies of other programs' windows, the open message boxes, the screen and the generation.
//
// Locking: all of it is guarded by the device lock (the scheduler's mutex, mutex()); the
// ...Locked methods need it held, the others take it. The table never calls out: no procedure,
// no other floor. Handles are never reused.
#ifndef WINCE_USER_WINDOW_TABLE_H_
#define WINCE_USER_WINDOW_TABLE_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <windows.h>

#include "host/mutex.h"
#include "model/scheduler.h"
#include "user/other_processes.h"
#include "user/result.h"
#include "user/window.h"
#include "user/window_info.h"

namespace wce {

class WindowTable {
 public:
  using ClassHandler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

  WindowTable(Scheduler& scheduler, const ScreenMetrics& screen);
  WindowTable(const WindowTable&) = delete;
  WindowTable& operator=(const WindowTable&) = delete;

  Mutex& mutex() const WCE_RETURN_CAPABILITY(mu_) { return mu_; }

  // ---- Classes
  // ----------------------------------------------------------------------------------- By name
  // (case-insensitive) or atom; null if none.
  std::shared_ptr<const WindowClass> FindClassLocked(LPCWSTR name) const WCE_REQUIRES(mu_);
  std::shared_ptr<const WindowClass> FindClass(LPCWSTR name);
  // A program's class. The atom, or 0 with ERROR_INVALID_PARAMETER / ERROR_CLASS_ALREADY_EXISTS.
  Result<ATOM> RegisterProgramClass(const WNDCLASSW& wc);
  // A class the layer implements (`handler` is its procedure): `system` ones are the built-in
  // controls, never unregistered; `internal` ones are never found, published or foreground.
  // Returns its atom, 0 if the name is taken.
  ATOM RegisterHandledClass(std::u16string_view name, WindowKind kind, bool system, bool internal,
                            ClassHandler handler);
  // ERROR_CLASS_DOES_NOT_EXIST (none, or built in), ERROR_CLASS_HAS_WINDOWS, or success.
  DWORD RemoveProgramClass(LPCWSTR name);

  // ---- Windows
  // ----------------------------------------------------------------------------------- The live
  // window (also while WM_DESTROY is delivered), or null.
  Window* FindLocked(HWND hwnd) WCE_REQUIRES(mu_);
  const Window* FindLocked(HWND hwnd) const WCE_REQUIRES(mu_);
  HWND NewHandleLocked() WCE_REQUIRES(mu_);
  // Takes `w` in: a child goes last among its parent's children (the parent must exist), a
  // top-level window on top.
  void InsertLocked(std::unique_ptr<Window> w) WCE_REQUIRES(mu_);
  // Removes the window and its descendants, their timers and posted messages. No-op if gone.
  void ForgetLocked(HWND hwnd) WCE_REQUIRES(mu_);
  // The window and its descendants, parents before children.
  std::vector<HWND> DestroyOrderLocked(HWND hwnd) const WCE_REQUIRES(mu_);
  // Every window (any kind) whose thread's queue is `queue`.
  std::vector<HWND> WindowsOfQueueLocked(const ThreadQueue* queue) const WCE_REQUIRES(mu_);
  // Whether any window is of `cls`.
  bool HasWindowsOfLocked(const std::shared_ptr<const WindowClass>& cls) const WCE_REQUIRES(mu_);
  // The top-level window a window belongs to (itself for a top-level one); null if none.
  HWND RootLocked(HWND hwnd) const WCE_REQUIRES(mu_);
  bool IsAncestorLocked(HWND ancestor, HWND hwnd) const WCE_REQUIRES(mu_);
  // Screen position of the window's client origin.
  POINT ClientOriginLocked(const Window& w) const WCE_REQUIRES(mu_);
  // Top-level windows, bottom first.
  const std::vector<HWND>& StackLocked() const WCE_REQUIRES(mu_) { return z_order_; }
  // Puts a top-level window on top; false if it already was.
  bool RaiseLocked(HWND hwnd) WCE_REQUIRES(mu_);

  // ---- Proxies of other programs' windows
  // ---------------------------------------------------------- The handle standing for `remote`
  // here (the same one each time).
  HWND ProxyFor(const RemoteWindow& remote);
  const RemoteWindow* ProxyLocked(HWND hwnd) const WCE_REQUIRES(mu_);

  // ---- Message boxes, screen, generation
  // -----------------------------------------------------------
  void AddMessageBoxLocked(HWND box) WCE_REQUIRES(mu_) { message_boxes_.push_back(box); }
  // Open message boxes, oldest first.
  const std::vector<HWND>& MessageBoxListLocked() const WCE_REQUIRES(mu_) { return message_boxes_; }
  ScreenMetrics ScreenLocked() const WCE_REQUIRES(mu_) { return screen_; }
  // The shell sets the rotated screen and its work area. Bumps the generation.
  void SetScreenLocked(const ScreenMetrics& screen) WCE_REQUIRES(mu_);
  // Changes whenever anything visible changes. Readable without the lock.
  std::uint64_t generation() const { return generation_.load(std::memory_order_acquire); }
  // Bumps the generation and wakes the scheduler's waiters.
  void BumpGenerationLocked() WCE_REQUIRES(mu_);
  // Wakes the scheduler's waiters for a change nobody sees (a modal loop's end flag).
  void WakeWaitersLocked() WCE_REQUIRES(mu_) { scheduler_.NotifyAll(); }

 private:
  Scheduler& scheduler_;
  Mutex& mu_;
  ScreenMetrics screen_ WCE_GUARDED_BY(mu_);
  std::atomic<std::uint64_t> generation_{1};
  std::uintptr_t next_handle_ WCE_GUARDED_BY(mu_) = 0x20000;
  ATOM next_atom_ WCE_GUARDED_BY(mu_) = 0xC000;
  std::vector<std::shared_ptr<const WindowClass>> classes_ WCE_GUARDED_BY(mu_);
  std::unordered_map<HWND, std::unique_ptr<Window>> windows_ WCE_GUARDED_BY(mu_);
  std::vector<HWND> z_order_ WCE_GUARDED_BY(mu_);  // top-level windows, bottom first
  std::unordered_map<HWND, std::unique_ptr<RemoteWindow>> proxies_ WCE_GUARDED_BY(mu_);
  std::vector<HWND> message_boxes_ WCE_GUARDED_BY(mu_);  // open, oldest first
};

}  // namespace wce

#endif  // WINCE_USER_WINDOW_TABLE_H_
