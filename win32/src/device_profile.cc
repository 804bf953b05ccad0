#include "device_profile.h"

#include <cstdlib>
#include <memory>

#include "text.h"

namespace kepla_shim {
namespace {

bool ParseNumber(std::string_view text, ULONGLONG* value) {
  if (text.empty() || text.size() > 20) return false;
  ULONGLONG v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    ULONGLONG next = v * 10 + static_cast<ULONGLONG>(c - '0');
    if (next / 10 != v) return false;
    v = next;
  }
  *value = v;
  return true;
}

void Apply(DeviceProfile* profile, std::string_view key, std::string_view value) {
  ULONGLONG number = 0;
  const bool numeric = ParseNumber(value, &number);
  if (key == "identity.model") {
    profile->model = WideFromUtf8(value);
  } else if (key == "identity.romVersion") {
    profile->rom_version = WideFromUtf8(value);
  } else if (key == "identity.extRomVersion") {
    profile->ext_rom_version = WideFromUtf8(value);
  } else if (key == "identity.answers" && numeric) {
    profile->identity_answers = number != 0;
  } else if (key == "battery.percent" && numeric && number <= 255) {
    profile->battery_percent = static_cast<int>(number);
  } else if (key == "battery.fails" && numeric) {
    profile->battery_fails = number != 0;
  } else if (key == "memory.load" && numeric && number <= 100) {
    profile->memory_load = static_cast<int>(number);
  } else if (key == "display.width" && numeric && number > 0 && number <= 4096) {
    profile->display_width = static_cast<int>(number);
  } else if (key == "display.height" && numeric && number > 0 && number <= 4096) {
    profile->display_height = static_cast<int>(number);
  } else if (key.size() > 15 && key.substr(0, 5) == "card." &&
             key.substr(key.size() - 10) == ".freeBytes" && numeric) {
    CardSpace card;
    card.name = WideFromUtf8(key.substr(5, key.size() - 15));
    card.free_bytes = number;
    profile->cards.push_back(card);
  }
}

DeviceProfile ReadProfile() {
  WCHAR path[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"KEPLA_DEVICE_PROFILE", path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return DeviceProfile();
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return DeviceProfile();
  std::string text;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof(chunk), &got, NULL) && got > 0 && text.size() < (1u << 20)) {
    text.append(chunk, got);
  }
  CloseHandle(file);
  return ParseDeviceProfile(text);
}

}  // namespace

DeviceProfile ParseDeviceProfile(std::string_view text) {
  DeviceProfile profile;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq == 0) continue;
    Apply(&profile, line.substr(0, eq), line.substr(eq + 1));
  }
  return profile;
}

const DeviceProfile& Profile() {
  static const DeviceProfile profile = ReadProfile();
  return profile;
}

}  // namespace kepla_shim
