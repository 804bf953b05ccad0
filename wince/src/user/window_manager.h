// The device's window system: window classes, windows, per-thread message queues, timers, modal
// dialogs, message boxes, the static and progress-bar controls, and windows of other programs on
// the same device (proxies through the run folder).
//
// Locking: every piece of state is guarded by the scheduler's mutex. Methods named ...Locked must
// be called with that mutex held; every other method takes it itself and must be called without it.
// No window, dialog or timer procedure is ever called with the mutex held, and neither are the run
// folder and automation.
//
// Threads: a window belongs to the device thread that created it, and so does a timer. Message
// queues exist only for device threads (created on first use); a host thread that is no device
// thread may send messages (SendMessageW works from it) but cannot own windows or retrieve
// messages.
//
// Failures follow the platform: a zero result and SetLastError (ERROR_INVALID_WINDOW_HANDLE for a
// handle that names no window or a destroyed one). Window handles are never reused.
#ifndef WINCE_USER_WINDOW_MANAGER_H_
#define WINCE_USER_WINDOW_MANAGER_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <windows.h>

#include "host/mutex.h"
#include "model/scheduler.h"
#include "user/other_processes.h"
#include "user/thread_queue.h"
#include "user/window.h"
#include "user/window_events.h"
#include "user/window_info.h"

namespace wce {

class Modules;
struct DialogTemplate;

class WindowManager {
 public:
  // Dialog base units (pixels per 4 horizontal / 8 vertical dialog units); see wince/README.md.
  static constexpr int kDialogBaseUnitX = 6;
  static constexpr int kDialogBaseUnitY = 12;
  // Dialog units to pixels, as for every dialog and its controls (and MapDialogRect).
  static int DialogUnitsToX(int units);
  static int DialogUnitsToY(int units);

  // Dialog templates are looked up in `modules`; `screen` is the screen until the shell sets
  // another. Installs itself as the scheduler's thread-exit hook (removed on destruction).
  WindowManager(Scheduler& scheduler, Modules& modules, const ScreenMetrics& screen);
  ~WindowManager();
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;

  // The floors above: the other programs on the device, and who hears of message boxes, progress
  // and ended dialogs. Either may be null (nothing crosses, nobody hears). Set once, before any
  // program runs; both must outlive this object or be disconnected (null) first.
  void Connect(OtherProcesses* others, WindowEvents* events);

  // ---- For the shell and automation -----------------------------------------------------------

  ScreenMetrics ScreenLocked() const { return screen_; }
  // The shell sets the rotated screen and its work area. Bumps the generation.
  void SetScreenLocked(const ScreenMetrics& screen);

  // Changes whenever anything visible changes (windows created, destroyed, shown, moved, sized,
  // retitled, enabled; progress positions; message boxes). Readable without the lock.
  std::uint64_t generation() const { return generation_.load(std::memory_order_acquire); }
  // Bumps the generation and wakes waiters (the shell calls it for soft keys and rotation).
  void BumpGenerationLocked();

  // Top-level windows, topmost first (destroyed ones excluded; internal ones included).
  std::vector<HWND> TopLevelWindowsLocked() const;
  // The topmost visible top-level window that is neither internal nor a message box; null if
  // none.
  HWND ForegroundWindowLocked() const;
  std::optional<WindowInfo> InfoLocked(HWND hwnd) const;
  // Open message boxes, oldest first.
  std::vector<MessageBoxInfo> MessageBoxesLocked() const;
  // Top-level windows other processes may find (not internal, not message boxes), topmost
  // first. Takes the lock (the run folder calls it).
  std::vector<PublishedWindow> PublishedWindows();
  HCURSOR CurrentCursorLocked() const { return cursor_; }

  // True when `hwnd` names a live window of this process. A proxy of another program's window
  // (which IsWindow accepts) is none: every call but IsWindow, SendMessageW and PostMessageW
  // treats it as no window. Takes the lock.
  bool IsLocalWindow(HWND hwnd);

  // The user-interface thread: the owner of the topmost visible top-level window that is not
  // internal (a message box counts); 0 when there is none.
  std::uint32_t UiThreadIdLocked() const;
  // True while `thread` is blocked in GetMessageW, a modal loop, or MsgWaitForMultipleObjectsEx
  // with input or posted messages in its mask, and has nothing to retrieve.
  bool IsWaitingForInputLocked(const DeviceThread* thread) const;
  bool IsUiThreadWaitingForInputLocked() const;

  // Posts `message` to the thread of `target` as user input (QS_KEY). False if `target` is no
  // window or its thread has ended.
  bool PostInputLocked(HWND target, UINT message, WPARAM wparam, LPARAM lparam);

  // Registers a class for the layer's own windows (the shell's menu bar), whose procedure is
  // `handler`: its windows are never found by FindWindowW, published, or counted as foreground.
  // Returns its atom (0 if the name is taken).
  using ClassHandler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
  ATOM RegisterInternalClass(std::u16string_view name, ClassHandler handler);

  // Called on a device thread that is ending (by the scheduler's thread-exit hook): closes its
  // queue, releases senders waiting on it and destroys its windows without calling their
  // procedures.
  void ThreadEnded(DeviceThread& thread);

  // ---- The platform calls (the Win32 entry points are thin adapters over these) ---------------
  // Same arguments, results and last errors as the Win32 calls; call with no lock held, from the
  // threads the Win32 call allows.

  ATOM RegisterClass(const WNDCLASSW& wc);
  BOOL UnregisterClass(LPCWSTR name);
  HWND CreateWindowEx(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, int x, int y,
                      int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                      LPVOID param);
  BOOL DestroyWindow(HWND hwnd);
  BOOL IsWindow(HWND hwnd);
  BOOL ShowWindow(HWND hwnd, int cmd);
  BOOL UpdateWindow(HWND hwnd);
  BOOL IsWindowVisible(HWND hwnd);
  BOOL EnableWindow(HWND hwnd, BOOL enable);
  BOOL IsWindowEnabled(HWND hwnd);
  LONG_PTR GetWindowLong(HWND hwnd, int index);
  LONG_PTR SetWindowLong(HWND hwnd, int index, LONG_PTR value);
  HWND GetParent(HWND hwnd);
  HWND GetDlgItem(HWND dialog, int id);
  int GetDlgCtrlID(HWND hwnd);
  BOOL GetClientRect(HWND hwnd, RECT* rect);
  BOOL GetWindowRect(HWND hwnd, RECT* rect);
  int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
  BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height);
  BOOL SetWindowText(HWND hwnd, LPCWSTR text);
  int GetWindowText(HWND hwnd, LPWSTR buffer, int max_count);
  int GetWindowTextLength(HWND hwnd);
  BOOL InvalidateRect(HWND hwnd);
  HWND FindWindow(LPCWSTR class_name, LPCWSTR title);
  LRESULT DefWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  BOOL PostMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  BOOL PostThreadMessage(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  BOOL GetMessage(MSG* msg, HWND hwnd, UINT min, UINT max);
  BOOL PeekMessage(MSG* msg, HWND hwnd, UINT min, UINT max, UINT remove);
  LRESULT DispatchMessage(const MSG* msg);
  void PostQuitMessage(int exit_code);
  DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD timeout_ms,
                                    DWORD wake_mask, DWORD flags);
  UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC proc);
  BOOL KillTimer(HWND hwnd, UINT_PTR id);

  HCURSOR LoadCursor(HINSTANCE instance, LPCWSTR name);
  HCURSOR SetCursor(HCURSOR cursor);

  INT_PTR DialogBoxIndirectParam(HINSTANCE instance, const DLGTEMPLATE* dialog_template, HWND owner,
                                 DLGPROC proc, LPARAM param);
  BOOL EndDialog(HWND dialog, INT_PTR result);
  BOOL MapDialogRect(HWND dialog, RECT* rect);
  int MessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

  // ---- Internals shared by the files of the window system --------------------------------------

  // The device lock every piece of state here is guarded by.
  Mutex& mutex() const WCE_RETURN_CAPABILITY(mu_) { return mu_; }

  // The live window (also while WM_DESTROY is delivered), or null.
  Window* FindLocked(HWND hwnd);
  const Window* FindLocked(HWND hwnd) const;
  // The calling thread's queue, created on first use; null on a host thread.
  std::shared_ptr<ThreadQueue> CurrentQueueLocked();
  // Calls the window's procedure with no lock held (0 when it is gone).
  LRESULT CallProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  // Screen position of the window's client origin.
  POINT ClientOriginLocked(const Window& w) const;
  struct CreateSpec {
    DWORD ex_style = 0;
    std::u16string title;
    DWORD style = 0;
    int x = 0, y = 0, width = 0, height = 0;  // CW_USEDEFAULT allowed, as for CreateWindowExW
    HWND parent = nullptr;                    // the parent of a WS_CHILD window, else the owner
    LONG_PTR id = 0;                          // a child's control id
    HINSTANCE instance = nullptr;
    LPVOID param = nullptr;
    // Fills in kind-specific fields (dialog procedure, message box text) before WM_NCCREATE.
    std::function<void(Window&)> setup;
  };
  // Creates a window of `cls`, recorded under `class_name`; sends WM_NCCREATE, WM_CREATE and
  // WM_SIZE. Null with the last error set on failure.
  HWND CreateWindowInternal(std::shared_ptr<const WindowClass> cls, std::u16string class_name,
                            const CreateSpec& spec);
  std::shared_ptr<const WindowClass> FindClass(LPCWSTR name);
  // Disables `owner` for a modal window if it is enabled; returns whether it did.
  bool DisableOwner(HWND owner);
  // Runs a modal loop for `window` (a dialog or message box): dispatches the thread's messages
  // until the window's end flag is set or it is destroyed, destroys it and re-enables `owner` if
  // `owner_disabled` (DisableOwner's answer). With `show_when_idle` the window is shown the
  // first time nothing is there to retrieve. Returns its end result (IDOK unless EndDialog
  // stored another; 0 if it was destroyed another way).
  INT_PTR RunModal(HWND window, HWND owner, bool owner_disabled, bool show_when_idle);

 private:
  // The procedures of the built-in classes ("Dialog", "MessageBox", "msctls_progress32"; the
  // text-only ones use DefWindowProc).
  LRESULT DialogClassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT MessageBoxClassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT ProgressClassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  HWND CreateFromTemplate(const DialogTemplate& t, HINSTANCE instance, HWND owner, DLGPROC proc,
                          int template_id);
  std::shared_ptr<const WindowClass> FindClassLocked(LPCWSTR name) const;
  // The top-level window a window belongs to (itself for a top-level one).
  HWND RootLocked(HWND hwnd) const;
  bool SameThreadLocked(const Window& w);
  void RegisterSystemClassesLocked();
  HWND NewHandleLocked();
  // Puts a top-level window on top; false if it already was.
  bool RaiseLocked(HWND hwnd);
  void CollectDestroyOrderLocked(HWND hwnd, std::vector<HWND>* order) const;
  void ForgetWindowLocked(HWND hwnd);
  bool IsAncestorLocked(HWND ancestor, HWND hwnd) const;
  HWND ProxyFor(const RemoteWindow& remote);
  const RemoteWindow* ProxyLocked(HWND hwnd) const;
  // Runs the sent messages waiting in `queue` (unlocks around each procedure).
  void RunSentLocked(UniqueLock& lock, ThreadQueue& queue);
  // Runs the sent messages first, then takes a message the filter accepts. With `wait`, blocks
  // until there is one (or stop() holds), running sent messages as they arrive. False when
  // nothing was taken.
  bool RetrieveLocked(UniqueLock& lock, MSG* msg, const MessageFilter& filter, bool remove,
                      bool wait, const std::function<bool()>& stop);
  MessageFilter MakeFilterLocked(HWND hwnd, UINT min, UINT max) const;
  void PublishWindowsChanged();

  Scheduler& scheduler_;
  Modules& modules_;
  Mutex& mu_;
  OtherProcesses* others_ = nullptr;
  WindowEvents* events_ = nullptr;
  ScreenMetrics screen_;
  std::atomic<std::uint64_t> generation_{1};
  std::uintptr_t next_handle_ = 0x20000;
  ATOM next_atom_ = 0xC000;
  UINT_PTR next_timer_id_ = 1;
  std::vector<std::shared_ptr<const WindowClass>> classes_;
  std::unordered_map<HWND, std::unique_ptr<Window>> windows_;
  std::vector<HWND> z_order_;  // top-level windows, bottom first
  std::unordered_map<std::uint32_t, std::weak_ptr<ThreadQueue>> queues_;  // by thread id
  std::unordered_map<HWND, std::unique_ptr<RemoteWindow>> proxies_;
  std::vector<HWND> message_boxes_;  // open, oldest first
  HCURSOR cursor_ = nullptr;
};

}  // namespace wce

#endif  // WINCE_USER_WINDOW_MANAGER_H_
