// The device's hardware as the program sees it: battery, memory, power requirements and the idle
// timer. Readings come from the profile; what the program asks of the power manager is recorded
// so that automation and tests can see it.
//
// Thread-safe: every method may be called from any thread, with or without the scheduler's mutex
// held (the component has its own lock and never takes another while holding it).
#ifndef WINCE_MODEL_HARDWARE_H_
#define WINCE_MODEL_HARDWARE_H_

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include <windows.h>
#include "host/mutex.h"

namespace wce {

struct DeviceProfile;

class Hardware {
 public:
  // The backlight's device name; a requirement on it at D0 keeps the backlight on.
  static constexpr std::u16string_view kBacklight = u"BKL1:";

  // `profile` must outlive the component (the device owns both).
  explicit Hardware(const DeviceProfile& profile);
  Hardware(const Hardware&) = delete;
  Hardware& operator=(const Hardware&) = delete;

  // Fills *status from the profile's battery. False (status untouched) when the profile says the
  // battery driver fails.
  bool ReadPowerStatus(SYSTEM_POWER_STATUS_EX* status) const;
  // Fills *status (every field, dwLength included) from the profile's memory load; leaves it
  // alone when the profile says the query fails.
  void ReadMemoryStatus(MEMORYSTATUS* status) const;

  // Records a requirement that `device_name` stay at `state` (0 = D0 ... 4 = D4). Returns its
  // handle, or null with *error = ERROR_INVALID_PARAMETER for an empty name or a state out of
  // range. Handles are never reused and are no kernel handles (CloseHandle does not know them).
  HANDLE SetPowerRequirement(std::u16string_view device_name, int state, DWORD* error);
  // ERROR_SUCCESS, or ERROR_INVALID_HANDLE for a handle that is unknown or already released.
  DWORD ReleasePowerRequirement(HANDLE requirement);
  void ResetIdleTimer();

  // Whether a requirement holds the backlight (kBacklight, any case) at D0.
  bool backlight_held() const;
  int idle_timer_resets() const;
  int power_requirements_set() const;
  int power_requirements_released() const;
  int power_requirements_held() const;

 private:
  struct Requirement {
    std::u16string device_name;
    int state;
  };

  const DeviceProfile& profile_;
  mutable Mutex mu_;
  std::map<std::uintptr_t, Requirement> requirements_ WCE_GUARDED_BY(mu_);
  std::uintptr_t next_handle_ WCE_GUARDED_BY(mu_);
  int set_ WCE_GUARDED_BY(mu_) = 0;
  int released_ WCE_GUARDED_BY(mu_) = 0;
  int idle_resets_ WCE_GUARDED_BY(mu_) = 0;
};

}  // namespace wce

#endif  // WINCE_MODEL_HARDWARE_H_
