#include "tools/pending_temporaries.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace kepla::pkg {
namespace {

// A slot is free, being filled or emptied by its owner, or holding a path the handler may unlink.
enum SlotState : int { kFree = 0, kBusy = 1, kHeld = 2 };

struct Slot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX];
};

constexpr int kSlots = 16;
Slot g_slots[kSlots];

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the states");

void OnSignal(int signal_number) {
  RemoveTemporariesNow();
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

}  // namespace

int RememberTemporary(const char* path) {
  const std::size_t length = std::strlen(path);
  if (length >= PATH_MAX) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!g_slots[i].state.compare_exchange_strong(expected, kBusy)) continue;
    std::memcpy(g_slots[i].path, path, length + 1);
    g_slots[i].state.store(kHeld);
    return i;
  }
  return -1;
}

void ForgetTemporary(int token) {
  if (token >= 0 && token < kSlots) g_slots[token].state.store(kFree);
}

void RemoveTemporariesNow() {
  for (Slot& slot : g_slots) {
    if (slot.state.load() == kHeld) ::unlink(slot.path);
  }
}

void RemoveTemporariesOnSignals() {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old_action;
    if (::sigaction(signal_number, nullptr, &old_action) == 0 && old_action.sa_handler == SIG_IGN) {
      continue;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // The others wait while one removes the files.
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaddset(&action.sa_mask, SIGHUP);
    ::sigaction(signal_number, &action, nullptr);
  }
}

}  // namespace kepla::pkg
