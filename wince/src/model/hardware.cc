#include "model/hardware.h"

#include <wince/profile.h>

namespace wce {
namespace {

// Battery flags of SYSTEM_POWER_STATUS_EX.
constexpr BYTE kBatteryHigh = 0x01;
constexpr BYTE kBatteryLow = 0x02;
constexpr BYTE kBatteryCritical = 0x04;
constexpr BYTE kBatteryUnknown = 0xFF;
constexpr DWORD kLifeTimeUnknown = 0xFFFFFFFF;

// A phone of this class: 64 MiB of RAM and the 32 MiB address-space slot of a process.
constexpr DWORD kTotalPhys = 64u << 20;
constexpr DWORD kTotalVirtual = 32u << 20;

// Requirement handles live in a range of their own, far from kernel handles and windows.
constexpr std::uintptr_t kFirstRequirement = 0x5E000000;

BYTE BatteryFlagFor(int percent) {
  if (percent == BATTERY_PERCENTAGE_UNKNOWN) return kBatteryUnknown;
  if (percent <= 5) return kBatteryCritical;
  if (percent < 33) return kBatteryLow;
  return kBatteryHigh;
}

DWORD Free(DWORD total, int load_percent) {
  return static_cast<DWORD>(std::uint64_t{total} * static_cast<unsigned>(100 - load_percent) / 100);
}

bool SameDeviceName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char16_t c) {
      return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
    };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

}  // namespace

Hardware::Hardware(const DeviceProfile& profile)
    : profile_(profile), next_handle_(kFirstRequirement) {}

bool Hardware::ReadPowerStatus(SYSTEM_POWER_STATUS_EX* status) const {
  if (profile_.battery_fails) return false;
  *status = SYSTEM_POWER_STATUS_EX{};
  status->ACLineStatus = AC_LINE_OFFLINE;
  status->BatteryFlag = BatteryFlagFor(profile_.battery_percent);
  status->BatteryLifePercent = static_cast<BYTE>(profile_.battery_percent);
  status->BatteryLifeTime = kLifeTimeUnknown;
  status->BatteryFullLifeTime = kLifeTimeUnknown;
  status->BackupBatteryFlag = kBatteryUnknown;
  status->BackupBatteryLifePercent = BATTERY_PERCENTAGE_UNKNOWN;
  status->BackupBatteryLifeTime = kLifeTimeUnknown;
  status->BackupBatteryFullLifeTime = kLifeTimeUnknown;
  return true;
}

void Hardware::ReadMemoryStatus(MEMORYSTATUS* status) const {
  if (profile_.memory_fails) return;
  const int load = profile_.memory_load;
  status->dwLength = sizeof(MEMORYSTATUS);
  status->dwMemoryLoad = static_cast<DWORD>(load);
  status->dwTotalPhys = kTotalPhys;
  status->dwAvailPhys = Free(kTotalPhys, load);
  status->dwTotalPageFile = 0;  // no page file on the device
  status->dwAvailPageFile = 0;
  status->dwTotalVirtual = kTotalVirtual;
  status->dwAvailVirtual = Free(kTotalVirtual, load);
}

HANDLE Hardware::SetPowerRequirement(std::u16string_view device_name, int state, DWORD* error) {
  if (device_name.empty() || state < 0 || state > 4) {
    *error = ERROR_INVALID_PARAMETER;
    return nullptr;
  }
  MutexLock lock(mu_);
  std::uintptr_t value = next_handle_;
  next_handle_ += 4;
  requirements_.emplace(value, Requirement{std::u16string(device_name), state});
  ++set_;
  return reinterpret_cast<HANDLE>(value);
}

DWORD Hardware::ReleasePowerRequirement(HANDLE requirement) {
  MutexLock lock(mu_);
  if (requirements_.erase(reinterpret_cast<std::uintptr_t>(requirement)) == 0) {
    return ERROR_INVALID_HANDLE;
  }
  ++released_;
  return ERROR_SUCCESS;
}

void Hardware::ResetIdleTimer() {
  MutexLock lock(mu_);
  ++idle_resets_;
}

bool Hardware::backlight_held() const {
  MutexLock lock(mu_);
  for (const auto& [handle, requirement] : requirements_) {
    if (requirement.state == 0 && SameDeviceName(requirement.device_name, kBacklight)) return true;
  }
  return false;
}

int Hardware::idle_timer_resets() const {
  MutexLock lock(mu_);
  return idle_resets_;
}

int Hardware::power_requirements_set() const {
  MutexLock lock(mu_);
  return set_;
}

int Hardware::power_requirements_released() const {
  MutexLock lock(mu_);
  return released_;
}

int Hardware::power_requirements_held() const {
  MutexLock lock(mu_);
  return static_cast<int>(requirements_.size());
}

}  // namespace wce
