// Battery and memory readings from the profile, and what the device records of power
// requirements and idle-timer resets.
#include <windows.h>
#include <pm.h>

#include <cstring>

#include <gtest/gtest.h>

#include "system/device.h"
#include "model/hardware.h"
#include "support/device_thread.h"

namespace {

using kepla_test::DeviceThreadTest;

class HardwareTest : public DeviceThreadTest {
 protected:
  void BootWithBattery(int percent, bool fails = false, int memory_load = 30) {
    profile().battery_percent = percent;
    profile().battery_fails = fails;
    profile().memory_load = memory_load;
    BootHere();
  }
  wce::Hardware& hardware() { return device().hardware(); }

  static SYSTEM_POWER_STATUS_EX ZeroedStatus() {
    SYSTEM_POWER_STATUS_EX status;
    std::memset(&status, 0, sizeof status);
    return status;
  }
};

TEST_F(HardwareTest, BatteryPercentComesFromTheProfile) {
  for (int percent : {59, 60, BATTERY_PERCENTAGE_UNKNOWN}) {
    BootWithBattery(percent);
    SYSTEM_POWER_STATUS_EX status = ZeroedStatus();
    ASSERT_TRUE(GetSystemPowerStatusEx(&status, TRUE));
    EXPECT_EQ(status.BatteryLifePercent, percent);
    ShutdownNow();
  }
}

TEST_F(HardwareTest, FailingBatteryDriverLeavesTheStatusAlone) {
  BootWithBattery(100, /*fails=*/true);
  SYSTEM_POWER_STATUS_EX status = ZeroedStatus();
  EXPECT_FALSE(GetSystemPowerStatusEx(&status, TRUE));
  SYSTEM_POWER_STATUS_EX zero = ZeroedStatus();
  EXPECT_EQ(std::memcmp(&status, &zero, sizeof status), 0);
}

TEST_F(HardwareTest, MemoryLoadComesFromTheProfileWithConsistentTotals) {
  BootWithBattery(100, false, 76);
  MEMORYSTATUS memory;
  std::memset(&memory, 0, sizeof memory);
  memory.dwLength = sizeof memory;
  GlobalMemoryStatus(&memory);
  EXPECT_EQ(memory.dwLength, 32u);
  EXPECT_EQ(memory.dwMemoryLoad, 76u);
  EXPECT_GT(memory.dwTotalPhys, 0u);
  EXPECT_LT(memory.dwAvailPhys, memory.dwTotalPhys);
  EXPECT_LE(memory.dwAvailVirtual, memory.dwTotalVirtual);
}

TEST_F(HardwareTest, BacklightRequirementIsHeldUntilReleased) {
  BootWithBattery(100);
  EXPECT_FALSE(hardware().backlight_held());
  HANDLE requirement =
      SetPowerRequirement(const_cast<WCHAR*>(TEXT("BKL1:")), D0, POWER_NAME, nullptr, 0);
  ASSERT_NE(requirement, nullptr);
  EXPECT_TRUE(hardware().backlight_held());
  EXPECT_EQ(hardware().power_requirements_set(), 1);
  EXPECT_EQ(hardware().power_requirements_held(), 1);

  EXPECT_EQ(ReleasePowerRequirement(requirement), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_FALSE(hardware().backlight_held());
  EXPECT_EQ(hardware().power_requirements_released(), 1);
  EXPECT_EQ(ReleasePowerRequirement(requirement), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(hardware().power_requirements_released(), 1);
}

TEST_F(HardwareTest, OnlyAFullPowerRequirementOnTheBacklightHoldsIt) {
  BootWithBattery(100);
  HANDLE dim = SetPowerRequirement(const_cast<WCHAR*>(TEXT("BKL1:")), D4, POWER_NAME, nullptr, 0);
  HANDLE other = SetPowerRequirement(const_cast<WCHAR*>(TEXT("COM1:")), D0, POWER_NAME, nullptr, 0);
  ASSERT_NE(dim, nullptr);
  ASSERT_NE(other, nullptr);
  EXPECT_NE(dim, other);
  EXPECT_FALSE(hardware().backlight_held());
  HANDLE lower = SetPowerRequirement(const_cast<WCHAR*>(TEXT("bkl1:")), D0, POWER_NAME, nullptr, 0);
  EXPECT_TRUE(hardware().backlight_held()) << "device names ignore case";
  ReleasePowerRequirement(lower);
  EXPECT_FALSE(hardware().backlight_held());
}

TEST_F(HardwareTest, MalformedRequirementsAreRefused) {
  BootWithBattery(100);
  SetLastError(0);
  EXPECT_EQ(SetPowerRequirement(nullptr, D0, POWER_NAME, nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(SetPowerRequirement(const_cast<WCHAR*>(TEXT("BKL1:")), D0, 0, nullptr, 0), nullptr);
  EXPECT_EQ(SetPowerRequirement(const_cast<WCHAR*>(TEXT("BKL1:")), PwrDeviceMaximum, POWER_NAME,
                                nullptr, 0),
            nullptr);
  EXPECT_EQ(hardware().power_requirements_set(), 0);
}

TEST_F(HardwareTest, IdleTimerResetsAreCounted) {
  BootWithBattery(100);
  EXPECT_EQ(hardware().idle_timer_resets(), 0);
  SystemIdleTimerReset();
  SystemIdleTimerReset();
  EXPECT_EQ(hardware().idle_timer_resets(), 2);
}

}  // namespace
