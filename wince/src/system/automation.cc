#include "system/automation.h"

#include <type_traits>

#include "system/device.h"
#include "model/hardware.h"
#include "kernel/threads.h"
#include "model/display.h"
#include "shell/shell.h"
#include "user/window_events.h"
#include "user/screen_view.h"
#include "user/user_input.h"

namespace wce {
namespace {

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
// Spelled out: clang before 17 does not deduce an aggregate's template arguments by itself.
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

bool IsInput(const Action& action) {
  return std::holds_alternative<PressSoftKey>(action) ||
         std::holds_alternative<DismissMessageBox>(action);
}

void AddControls(const ScreenView& windows, const std::vector<HWND>& children,
                 std::vector<ControlSnapshot>* out) WCE_REQUIRES(windows.mutex()) {
  for (HWND child : children) {
    auto info = windows.InfoLocked(child);
    if (!info) continue;
    ControlSnapshot c;
    c.id = info->id;
    c.class_name = info->class_name;
    c.text = info->text;
    c.rect = info->rect;
    c.visible = info->visible;
    c.enabled = info->enabled;
    if (info->progress) {
      c.progress_pos = info->progress->pos;
      c.progress_min = info->progress->min;
      c.progress_max = info->progress->max;
    }
    out->push_back(std::move(c));
    AddControls(windows, info->children, out);
  }
}

}  // namespace

class Automation::Events final : public WindowEvents {
 public:
  explicit Events(Automation& automation) : automation_(automation) {}
  void OnMessageBoxOpened(const MessageBoxInfo& box) override {
    MessageBoxSnapshot snapshot;
    snapshot.owner_title = box.owner_title;
    snapshot.text = box.text;
    snapshot.caption = box.caption;
    snapshot.style = box.style;
    automation_.NotifyMessageBox(snapshot);
  }
  void OnProgressMoved(int control_id, int pos) override {
    automation_.NotifyProgress(control_id, pos);
  }
  void OnDialogEnded(int template_id, std::intptr_t result) override {
    automation_.NotifyDialogEnded(template_id, result);
  }

 private:
  Automation& automation_;
};

Automation::Automation(Device& device, const ScreenView& view, UserInput& input)
    : device_(device),
      mu_(device.scheduler().mutex()),
      view_(view),
      input_(input),
      window_events_(std::make_unique<Events>(*this)) {}

Automation::~Automation() = default;

bool Automation::ProgramEndedLocked() const {
  // A program that ran and ended before anyone looked has ended all the same.
  return device_.program_started() && !device_.program_running();
}

bool Automation::UiWaitingLocked() const {
  view_.mutex().AssertHeld();
  return view_.IsUiThreadWaitingForInputLocked();
}

ScreenSnapshot Automation::SnapshotLocked() {
  view_.mutex().AssertHeld();
  device_.shell().mutex().AssertHeld();
  device_.scheduler().mutex().AssertHeld();
  ScreenSnapshot s;
  s.time_ms = device_.scheduler().NowLocked();
  s.generation = view_.generation();
  const RECT screen = device_.shell().ScreenRectLocked();
  s.width = screen.right - screen.left;
  s.height = screen.bottom - screen.top;
  s.rotation = device_.shell().RotationLocked();
  s.waiting_for_input = UiWaitingLocked();
  s.program_running = device_.program_running();

  if (HWND foreground = view_.ForegroundWindowLocked()) {
    if (auto info = view_.InfoLocked(foreground)) {
      s.has_window = true;
      s.title = info->text;
      s.window_class = info->class_name;
      s.template_id = info->template_id;
      s.window_rect = info->rect;
      AddControls(view_, info->children, &s.controls);
    }
    for (const SoftKey& key :
         device_.shell().SoftKeysLocked(device_.shell().MenuBarOfLocked(foreground))) {
      s.soft_keys.push_back(SoftKeySnapshot{key.label, key.enabled, key.command});
    }
  }
  auto boxes = view_.MessageBoxesLocked();
  if (!boxes.empty()) {
    const MessageBoxInfo& box = boxes.back();
    s.message_box = MessageBoxSnapshot{box.owner_title, box.text, box.caption, box.style};
  }
  // The hardware's own lock is a leaf: taking it under the device lock is safe.
  s.backlight_held = device_.hardware().backlight_held();
  s.idle_timer_resets = device_.hardware().idle_timer_resets();
  return s;
}

ScreenSnapshot Automation::Snapshot() {
  MutexLock lock(mu_);
  return SnapshotLocked();
}

bool Automation::OfferedLocked(const Action& action) const {
  view_.mutex().AssertHeld();
  device_.shell().mutex().AssertHeld();
  return std::visit(Overloaded{
                        [&](const PressSoftKey& press) {
                          view_.mutex().AssertHeld();  // OfferedLocked's caller holds it
                          device_.shell().mutex().AssertHeld();
                          HWND foreground = view_.ForegroundWindowLocked();
                          return foreground != nullptr && view_.MessageBoxesLocked().empty() &&
                                 device_.shell().CanPressLocked(foreground, press.index);
                        },
                        [&](const DismissMessageBox&) {
                          view_.mutex().AssertHeld();  // OfferedLocked's caller holds it
                          return !view_.MessageBoxesLocked().empty();
                        },
                        [](const Rotate& rotate) { return IsValidRotation(rotate.degrees); },
                        [](const SignalEvent& signal) { return !signal.name.empty(); },
                    },
                    action);
}

bool Automation::Offered(const Action& action) {
  MutexLock lock(mu_);
  return OfferedLocked(action);
}

bool Automation::ApplyInputLocked(const Action& action) {
  view_.mutex().AssertHeld();
  device_.shell().mutex().AssertHeld();
  if (!UiWaitingLocked() || !OfferedLocked(action)) return false;
  if (const auto* press = std::get_if<PressSoftKey>(&action)) {
    return device_.shell().PressLocked(view_.ForegroundWindowLocked(), press->index);
  }
  // The newest message box is the one on top; its OK button ends it.
  HWND box = view_.MessageBoxesLocked().back().hwnd;
  return input_.PostInputLocked(box, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
}

bool Automation::Apply(const Action& action) {
  if (const auto* rotate = std::get_if<Rotate>(&action)) {
    return device_.shell().Rotate(rotate->degrees);
  }
  if (const auto* signal = std::get_if<SignalEvent>(&action)) {
    return !signal->name.empty() && device_.threads().events().SetNamedEvent(signal->name);
  }
  MutexLock lock(mu_);
  return ApplyInputLocked(action);
}

bool Automation::WaitAndApply(const Action& action, std::uint64_t deadline_ms,
                              const std::function<void(const ScreenSnapshot&)>& on_apply) {
  Scheduler& scheduler = device_.scheduler();
  UniqueLock lock(mu_);
  scheduler.mutex().AssertHeld();  // mu_ is the scheduler's mutex
  if (IsInput(action)) {
    const std::function<bool()> ready = [&] {
      mu_.AssertHeld();
      return ProgramEndedLocked() || (UiWaitingLocked() && OfferedLocked(action));
    };
    if (!scheduler.Wait(lock, ready, deadline_ms) || ProgramEndedLocked()) return false;
    if (on_apply) on_apply(SnapshotLocked());
    return ApplyInputLocked(action);
  }
  if (std::holds_alternative<Rotate>(action)) {
    lock.unlock();
    return Apply(action);
  }
  // A named event may not exist yet: the program makes it in answer to an earlier action. Try
  // now, then each time the program has settled (waits for input) after a change of screen.
  // The screen's generation is taken before the try: a change the program makes while the try
  // runs (it makes the event and settles) must count as one after it.
  std::uint64_t tried_at = view_.generation();
  lock.unlock();
  if (Apply(action)) return true;
  lock.lock();
  for (;;) {
    const std::function<bool()> settled = [&] {
      mu_.AssertHeld();
      return ProgramEndedLocked() || (UiWaitingLocked() && view_.generation() != tried_at);
    };
    if (!scheduler.Wait(lock, settled, deadline_ms) || ProgramEndedLocked()) return false;
    tried_at = view_.generation();
    lock.unlock();
    if (Apply(action)) return true;
    lock.lock();
  }
}

ScreenSnapshot Automation::WaitForChange(std::uint64_t seen_generation, std::uint64_t deadline_ms) {
  Scheduler& scheduler = device_.scheduler();
  UniqueLock lock(mu_);
  scheduler.mutex().AssertHeld();  // mu_ is the scheduler's mutex
  const std::function<bool()> ready = [&] {
    mu_.AssertHeld();
    return ProgramEndedLocked() || (UiWaitingLocked() && view_.generation() != seen_generation);
  };
  scheduler.Wait(lock, ready, deadline_ms);
  return SnapshotLocked();
}

ScreenSnapshot Automation::WaitForWindow(std::uint64_t deadline_ms) {
  Scheduler& scheduler = device_.scheduler();
  UniqueLock lock(mu_);
  scheduler.mutex().AssertHeld();  // mu_ is the scheduler's mutex
  view_.mutex().AssertHeld();
  const std::function<bool()> shown = [&] {
    mu_.AssertHeld();
    view_.mutex().AssertHeld();
    return ProgramEndedLocked() || view_.ForegroundWindowLocked() != nullptr ||
           !view_.MessageBoxesLocked().empty();
  };
  scheduler.Wait(lock, shown, deadline_ms);
  return SnapshotLocked();
}

bool Automation::ProgramThreadsRunning() { return device_.threads().AnyRunning(); }

void Automation::WaitFor(std::uint32_t ms) {
  Scheduler& scheduler = device_.scheduler();
  UniqueLock lock(mu_);
  scheduler.mutex().AssertHeld();  // mu_ is the scheduler's mutex
  const std::uint64_t deadline = scheduler.DeadlineAfterLocked(ms);
  scheduler.Wait(
      lock, [] { return false; }, deadline);
}

void Automation::SetObserver(AutomationObserver* observer) {
  MutexLock lock(observer_mu_);
  observer_ = observer;
}

void Automation::NotifyMessageBox(const MessageBoxSnapshot& box) {
  const std::uint64_t now = device_.scheduler().Now();
  MutexLock lock(observer_mu_);
  if (observer_ != nullptr) observer_->OnMessageBox(now, box);
}

void Automation::NotifyDialogEnded(int template_id, std::intptr_t result) {
  const std::uint64_t now = device_.scheduler().Now();
  MutexLock lock(observer_mu_);
  if (observer_ != nullptr) observer_->OnDialogEnded(now, template_id, result);
}

void Automation::NotifyProgress(int control_id, int pos) {
  const std::uint64_t now = device_.scheduler().Now();
  MutexLock lock(observer_mu_);
  if (observer_ != nullptr) observer_->OnProgress(now, control_id, pos);
}

}  // namespace wce
