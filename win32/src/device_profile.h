// The device profile as the shim answers from it: the figures of the device folder's device.json
// that desktop Win32 cannot give (battery, memory load, card free space, the OEM identity, the
// screen size).
//
// `kepla --platform wine` reads device.json with the simulated device's own parser and writes
// the figures as UTF-8 "key=value" lines into a file named by the environment variable
// KEPLA_DEVICE_PROFILE (a Windows path). Without it every figure keeps its device.json default.
//
// Thread rules: Profile() may be called from any thread; the first call reads the file.
#ifndef KEPLA_WIN32_DEVICE_PROFILE_H_
#define KEPLA_WIN32_DEVICE_PROFILE_H_

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace kepla_shim {

struct CardSpace {
  std::wstring name;  // the card's folder name in the root ("Storage Card")
  ULONGLONG free_bytes = 0;
};

struct DeviceProfile {
  std::wstring model;
  std::wstring rom_version;
  std::wstring ext_rom_version;
  bool identity_answers = true;
  int battery_percent = 100;  // 0 to 100, or 255 for "no reading"
  bool battery_fails = false;
  int memory_load = 30;
  int display_width = 240;
  int display_height = 320;
  std::vector<CardSpace> cards;  // only the cards whose free space the profile sets
};

// Parses the "key=value" lines; unknown keys and malformed lines are skipped. Pure.
DeviceProfile ParseDeviceProfile(std::string_view text);

// The profile of this run, read once.
const DeviceProfile& Profile();

}  // namespace kepla_shim

#endif  // KEPLA_WIN32_DEVICE_PROFILE_H_
