#include "sim/wine/wine_screen.h"

#include <type_traits>

#include "sim/transcript.h"

namespace kepla::wine {
namespace {

bool IsPress(const wce::Action& action) {
  return std::holds_alternative<wce::PressSoftKey>(action) ||
         std::holds_alternative<wce::DismissMessageBox>(action);
}

// Whether `snap` offers a press (the agent checks again when it applies it).
bool Offers(const wce::ScreenSnapshot& snap, const wce::Action& action) {
  if (!snap.waiting_for_input) return false;
  if (std::holds_alternative<wce::DismissMessageBox>(action)) return snap.message_box.has_value();
  if (const auto* press = std::get_if<wce::PressSoftKey>(&action)) {
    if (snap.message_box || press->index < 0 ||
        static_cast<std::size_t>(press->index) >= snap.soft_keys.size()) {
      return false;
    }
    return snap.soft_keys[static_cast<std::size_t>(press->index)].enabled;
  }
  return false;
}

}  // namespace

WineScreen::WineScreen(AgentLink& link, HostProcess& program, Transcript* transcript)
    : link_(link),
      program_(program),
      transcript_(transcript),
      start_(std::chrono::steady_clock::now()) {
  if (transcript_ != nullptr) recorder_ = std::thread([this] { Record(); });
}

WineScreen::~WineScreen() {
  stop_ = true;
  if (recorder_.joinable()) recorder_.join();
}

std::uint64_t WineScreen::Now() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - start_)
                                        .count());
}

bool WineScreen::ProgramRunning() {
  std::lock_guard<std::mutex> lock(program_mu_);
  return !program_.Ended();
}

wce::ScreenSnapshot WineScreen::LastScreen() {
  std::lock_guard<std::mutex> lock(last_mu_);
  return last_;
}

wce::ScreenSnapshot WineScreen::Snapshot() {
  AgentLink::Screen screen = link_.Snapshot();
  const bool running = !screen.closed && ProgramRunning();
  std::lock_guard<std::mutex> lock(last_mu_);
  if (running && !screen.busy) {
    workers_ = screen.workers;
    last_ = std::move(screen.snapshot);
    last_.time_ms = Now();
    return last_;
  }
  wce::ScreenSnapshot snap = last_;
  snap.time_ms = Now();
  snap.waiting_for_input = false;
  snap.program_running = running;
  return snap;
}

bool WineScreen::Apply(const wce::Action& action) {
  if (const auto* press = std::get_if<wce::PressSoftKey>(&action)) {
    return link_.PressSoftKey(press->index);
  }
  if (std::holds_alternative<wce::DismissMessageBox>(action)) return link_.DismissMessageBox();
  if (const auto* signal = std::get_if<wce::SignalEvent>(&action)) {
    return link_.SignalEvent(signal->name);
  }
  return false;  // the display of a desktop cannot be turned
}

bool WineScreen::WaitAndApply(const wce::Action& action, std::uint64_t deadline_ms,
                              const std::function<void(const wce::ScreenSnapshot&)>& on_apply) {
  while (Now() < deadline_ms) {
    const wce::ScreenSnapshot snap = Snapshot();
    if (!snap.program_running) return false;
    if (std::holds_alternative<wce::SignalEvent>(action)) {
      // The program makes its events in answer to earlier actions: try until it has one.
      if (Apply(action)) return true;
    } else if (IsPress(action) && Offers(snap, action)) {
      std::lock_guard<std::mutex> lock(record_mu_);
      if (Apply(action)) {
        if (transcript_ != nullptr) WriteLocked(snap);
        if (on_apply) on_apply(snap);
        return true;
      }
    } else if (!IsPress(action)) {
      return Apply(action);
    }
    std::this_thread::sleep_for(kPollMs);
  }
  return false;
}

wce::ScreenSnapshot WineScreen::WaitForChange(std::uint64_t seen_generation,
                                              std::uint64_t deadline_ms) {
  for (;;) {
    wce::ScreenSnapshot snap = Snapshot();
    if (!snap.program_running || Now() >= deadline_ms ||
        (snap.waiting_for_input && snap.generation != seen_generation)) {
      return snap;
    }
    std::this_thread::sleep_for(kPollMs);
  }
}

wce::ScreenSnapshot WineScreen::WaitForWindow(std::uint64_t deadline_ms) {
  for (;;) {
    wce::ScreenSnapshot snap = Snapshot();
    if (!snap.program_running || Now() >= deadline_ms || snap.has_window ||
        snap.message_box.has_value()) {
      return snap;
    }
    std::this_thread::sleep_for(kPollMs);
  }
}

bool WineScreen::ProgramThreadsRunning() {
  Snapshot();
  std::lock_guard<std::mutex> lock(last_mu_);
  return workers_ > 0;
}

bool WineScreen::WaitFor(std::uint32_t ms) { return !WaitForEnd(Now() + ms); }

bool WineScreen::WaitForEnd(std::uint64_t deadline_ms) {
  for (;;) {
    const std::uint64_t now = Now();
    if (now >= deadline_ms) return !ProgramRunning();
    std::lock_guard<std::mutex> lock(program_mu_);
    const auto step = std::chrono::milliseconds(std::min<std::uint64_t>(deadline_ms - now, 100));
    if (program_.Wait(step)) return true;
  }
}

void WineScreen::WriteLocked(const wce::ScreenSnapshot& snap) {
  if (snap.message_box && !box_open_) transcript_->OnMessageBox(snap.time_ms, *snap.message_box);
  box_open_ = snap.message_box.has_value();
  for (const wce::ControlSnapshot& control : snap.controls) {
    if (control.progress_pos)
      transcript_->OnProgress(snap.time_ms, control.id, *control.progress_pos);
  }
  transcript_->WriteScreen(snap);
}

void WineScreen::Record() {
  while (!stop_) {
    {
      std::lock_guard<std::mutex> lock(record_mu_);
      const wce::ScreenSnapshot snap = Snapshot();
      if (!snap.program_running) break;
      if (snap.waiting_for_input) WriteLocked(snap);
    }
    std::this_thread::sleep_for(kPollMs);
  }
}

}  // namespace kepla::wine
