// Runs a conformance program on the simulated device: boots the device folder it is given, runs
// the program's WinMain as the device's program, and exits with the program's exit code.
//
//   conformance_device_<name> DEVICE_FOLDER [ARGUMENT]
//
// The program's resources are the conformance programs' (conformance.rc). Exit status 125 when
// the folder does not exist or the device cannot boot (the reason goes to standard error).
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include <wince/host_device.h>
#include <wince/utf.h>

namespace kepla {
std::span<const std::uint8_t> ConformanceResources();
}  // namespace kepla

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s DEVICE_FOLDER [ARGUMENT]\n", argv[0]);
    return 125;
  }
  std::u16string command_line;
  if (argc == 3 && !wce::Utf8ToUtf16(argv[2], &command_line)) {
    std::fprintf(stderr, "%s: the argument is not UTF-8\n", argv[0]);
    return 125;
  }
  // The device folder is the caller's (the test makes it); none is made here.
  std::error_code ec;
  if (!std::filesystem::is_directory(argv[1], ec)) {
    std::fprintf(stderr, "%s: %s: no such device folder\n", argv[0], argv[1]);
    return 125;
  }
  wce::DeviceOptions options;
  options.folder = argv[1];
  options.program_resources = kepla::ConformanceResources();
  std::string error;
  std::unique_ptr<wce::HostDevice> device = wce::HostDevice::Boot(options, &error);
  if (!device) {
    std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
    return 125;
  }
  const int code = device->RunProgram(&WinMain, command_line);
  device.reset();
  return code;
}
