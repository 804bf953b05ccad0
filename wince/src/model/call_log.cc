#include "model/call_log.h"

#include <algorithm>
#include <windows.h>

#include <nlohmann/json.hpp>

#include "host/utf.h"

namespace wce {
namespace {

constexpr std::uint32_t kGen = ERROR_GEN_FAILURE;
constexpr std::uint32_t kMemory = ERROR_NOT_ENOUGH_MEMORY;
constexpr std::uint32_t kWindow = ERROR_INVALID_WINDOW_HANDLE;

// Sorted by name. A function that cannot fail has no failure value and no error.
constexpr CallInfo kCalls[] = {
    {"ChangeDisplaySettingsEx", true, "DISP_CHANGE_FAILED", kGen},
    {"CloseHandle", true, "FALSE", ERROR_INVALID_HANDLE},
    {"CreateEventW", true, "NULL", kMemory},
    {"CreateFileW", true, "INVALID_HANDLE_VALUE", kGen},
    {"CreateThread", true, "NULL", kMemory},
    {"CreateWindowExW", true, "NULL", kMemory},
    {"DefWindowProcW", false, "", 0},
    {"DeleteFileW", true, "FALSE", kGen},
    {"DestroyWindow", true, "FALSE", kWindow},
    {"DialogBoxIndirectParamW", true, "-1", kMemory},
    {"DispatchMessageW", false, "", 0},
    {"EndDialog", true, "FALSE", kWindow},
    {"FindClose", true, "FALSE", ERROR_INVALID_HANDLE},
    {"FindFirstFileW", true, "INVALID_HANDLE_VALUE", kGen},
    {"FindNextFileW", true, "FALSE", kGen},
    {"FindResourceW", true, "NULL", ERROR_RESOURCE_NAME_NOT_FOUND},
    {"FindWindowW", false, "", 0},
    {"FreeLibrary", true, "FALSE", kGen},
    {"GetClientRect", true, "FALSE", kWindow},
    {"GetDiskFreeSpaceExW", true, "FALSE", kGen},
    {"GetDlgItem", true, "NULL", kWindow},
    {"GetFileSize", true, "INVALID_FILE_SIZE", ERROR_READ_FAULT},
    {"GetMessageW", true, "-1", kGen},
    {"GetModuleFileNameW", true, "0", kGen},
    {"GetProcAddressW", true, "NULL", kGen},
    {"GetStockObject", true, "NULL", kGen},
    {"GetSystemPowerStatusEx", true, "FALSE", kGen},
    {"GetTickCount", false, "", 0},
    {"GetWindowLongW", true, "0", kWindow},
    {"GetWindowRect", true, "FALSE", kWindow},
    {"GlobalMemoryStatus", false, "", 0},
    {"IsWindow", false, "", 0},
    {"KillTimer", true, "FALSE", kGen},
    {"LoadCursorW", true, "NULL", kGen},
    {"LoadLibraryW", true, "NULL", kGen},
    {"LoadResource", true, "NULL", kGen},
    {"LoadStringW", true, "0", ERROR_RESOURCE_NAME_NOT_FOUND},
    {"MapWindowPoints", false, "", 0},
    {"MessageBoxW", true, "0", kMemory},
    {"MoveWindow", true, "FALSE", kWindow},
    {"MsgWaitForMultipleObjectsEx", true, "WAIT_FAILED", kGen},
    {"OpenEventW", true, "NULL", kGen},
    {"PeekMessageW", false, "", 0},
    {"PostQuitMessage", false, "", 0},
    {"ReadFile", true, "FALSE", ERROR_READ_FAULT},
    {"RegisterClassW", true, "0", kMemory},
    {"ReleasePowerRequirement", true, "the error", kGen},
    {"SHCreateMenuBar", true, "FALSE", kGen},
    {"SHEnableSoftkey", true, "E_FAIL", kGen},
    {"SHFindMenuBar", false, "", 0},
    {"SHInitDialog", true, "FALSE", kGen},
    {"SendMessageW", false, "", 0},
    {"SetCursor", false, "", 0},
    {"SetEndOfFile", true, "FALSE", ERROR_WRITE_FAULT},
    {"SetEvent", true, "FALSE", ERROR_INVALID_HANDLE},
    {"SetFilePointer", true, "INVALID_SET_FILE_POINTER", kGen},
    {"SetPowerRequirement", true, "NULL", kGen},
    {"SetTimer", true, "0", kMemory},
    {"SetWindowLongW", true, "0", kWindow},
    {"SetWindowTextW", true, "FALSE", kMemory},
    {"ShowWindow", false, "", 0},
    {"Sleep", false, "", 0},
    {"SystemIdleTimerReset", false, "", 0},
    {"TerminateThread", true, "FALSE", ERROR_INVALID_HANDLE},
    {"TranslateMessage", false, "", 0},
    {"UnregisterClassW", true, "FALSE", kGen},
    {"UpdateWindow", true, "FALSE", kWindow},
    {"WriteFile", true, "FALSE", ERROR_WRITE_FAULT},
};

std::size_t IndexOf(std::string_view name) {
  const CallInfo* found = FindCall(name);
  return found == nullptr ? std::size(kCalls) : static_cast<std::size_t>(found - kCalls);
}

}  // namespace

std::span<const CallInfo> CallCatalogue() { return kCalls; }

const CallInfo* FindCall(std::string_view name) {
  const auto it =
      std::lower_bound(std::begin(kCalls), std::end(kCalls), name,
                       [](const CallInfo& c, std::string_view n) { return c.name < n; });
  return it != std::end(kCalls) && it->name == name ? &*it : nullptr;
}

CallLog::CallLog(const std::vector<FaultSpec>& faults) : counts_(std::size(kCalls), 0) {
  for (const FaultSpec& f : faults) {
    if (f.kind == FaultSpec::Kind::kCallFails || f.kind == FaultSpec::Kind::kPowerOff) {
      triggers_.push_back(Trigger{f.kind, f.call, f.nth, f.error});
    }
  }
}

void CallLog::SetSink(Sink sink) {
  MutexLock lock(mu_);
  sink_ = std::move(sink);
}

CallLog::Verdict CallLog::Enter(std::string_view name, Thread thread, std::u16string_view file) {
  const std::size_t index = IndexOf(name);
  Verdict verdict;
  MutexLock lock(mu_);
  // Once the power is gone, no call of the program is made any more.
  if (power_lost_) {
    verdict.action = Verdict::Action::kPowerOff;
    return verdict;
  }
  if (index == std::size(kCalls)) return verdict;  // not a recorded function
  const int nth = ++counts_[index];
  ++total_;
  if (sink_) {
    nlohmann::ordered_json line;
    line["call"] = std::string(name);
    line["nth"] = nth;
    line["thread"] = thread == Thread::kUi ? "ui" : "worker";
    if (!file.empty()) line["file"] = Utf16ToUtf8(file);
    sink_(line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
  }
  for (const Trigger& t : triggers_) {
    if (t.nth != nth || t.call != name) continue;
    if (t.kind == FaultSpec::Kind::kPowerOff) {
      power_lost_ = Point{t.call, nth};
      verdict.action = Verdict::Action::kPowerOff;
      return verdict;
    }
    verdict.action = Verdict::Action::kFail;
    verdict.error = t.error.value_or(kCalls[index].default_error);
  }
  return verdict;
}

std::optional<CallLog::Point> CallLog::power_lost() const {
  MutexLock lock(mu_);
  return power_lost_;
}

std::uint64_t CallLog::total() const {
  MutexLock lock(mu_);
  return total_;
}

}  // namespace wce
