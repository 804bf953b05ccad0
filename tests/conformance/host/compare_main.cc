// The test of one conformance program: runs its device build on a scratch simulated device and
// its desktop build under Wine on a scratch Wine device (a prefix and a Wine server of its own,
// on a virtual display), and compares the two traces.
//
//   conformance_compare --name NAME --device-build EXE --win32-builds DIR [--peer]
//                       [--clock virtual|real]
//
// DIR holds the Win32 builds (win32-i686/, win32-x86_64/); the desktop build of the program is
// DIR/win32-ARCH/conformance/NAME.exe of the architecture the host's Wine runs.
//
// A trace is what the program printed and its exit code; lines marked as one platform's only
// ("[device only] ", "[desktop only] ") are printed but not compared. With --peer the program is
// first started with the argument "peer" on the same device (another process there), and that
// process's trace follows the first one's. The device runs on a virtual clock unless --clock
// real (a program that waits for another process needs real time). Exit status: 0 when the
// traces are equal, 1 when they differ (both are printed, and a diff), 2 when a run could not
// be made. $KEPLA_CONFORMANCE_KEEP=1 keeps the scratch folder.
#include <stdlib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <wince/profile.h>
#include "sim/wine/host_process.h"
#include "sim/wine/wine_host.h"
#include "sim/wine/wine_prefix.h"
#include "sim/wine/xvfb.h"

namespace {

namespace fs = std::filesystem;
using kepla::wine::HostProcess;
using Clock = std::chrono::steady_clock;

// How long one program may run, and how long its peer may outlive it.
constexpr std::chrono::seconds kRunLimit{60};
constexpr std::chrono::seconds kPeerLimit{20};
// The virtual display: the device's screen.
constexpr int kScreenWidth = 240;
constexpr int kScreenHeight = 320;

struct Options {
  std::string name;
  fs::path device_build;
  fs::path win32_builds;
  // Of the architecture the host's Wine runs.
  fs::path win32_dir;
  fs::path desktop_build;
  bool peer = false;
  std::string clock = "virtual";
};

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string text;
    if (arg == "--peer") {
      options.peer = true;
    } else if (arg == "--name" && value(&options.name)) {
    } else if (arg == "--clock" && value(&options.clock)) {
    } else if (arg == "--device-build" && value(&text)) {
      options.device_build = text;
    } else if (arg == "--win32-builds" && value(&text)) {
      options.win32_builds = text;
    } else {
      return std::nullopt;
    }
  }
  if (options.name.empty() || options.device_build.empty() || options.win32_builds.empty() ||
      (options.clock != "virtual" && options.clock != "real")) {
    return std::nullopt;
  }
  options.win32_dir =
      kepla::wine::Win32BuildDir(options.win32_builds, kepla::wine::HostWine().arch);
  options.desktop_build = options.win32_dir / "conformance" / (options.name + ".exe");
  return options;
}

std::string Slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A scratch folder, removed at the end unless $KEPLA_CONFORMANCE_KEEP is set.
class Scratch {
 public:
  explicit Scratch(const std::string& name) {
    std::string pattern =
        (fs::temp_directory_path() / ("kepla-conformance-" + name + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~Scratch() {
    const char* keep = std::getenv("KEPLA_CONFORMANCE_KEEP");
    std::error_code ec;
    if (keep != nullptr && *keep != 0 && *keep != '0') {
      std::cout << "scratch folder kept: " << path_.string() << "\n";
    } else if (!path_.empty()) {
      fs::remove_all(path_, ec);
    }
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// A device folder with the default profile (one storage card) and the given clock.
bool MakeDevice(const fs::path& folder, const std::string& clock, std::string* error) {
  std::error_code ec;
  fs::create_directories(folder / "fs" / "Storage Card", ec);
  if (ec) {
    *error = folder.string() + ": " + ec.message();
    return false;
  }
  std::ofstream(folder / "device.json") << "{\"clock\": \"" << clock << "\"}\n";
  return true;
}

// What one process of a run printed, and how it ended.
std::string Ended(const fs::path& output, std::optional<int> status, std::chrono::seconds limit) {
  std::string trace = Slurp(output);
  if (!trace.empty() && trace.back() != '\n') trace += "\n";
  if (status) {
    trace += "exit code " + std::to_string(*status) + "\n";
  } else {
    trace += "(did not end within " + std::to_string(limit.count()) + " s)\n";
  }
  return trace;
}

// Runs the program (and first its peer) with `start`, which starts one process given its
// argument ("" or "peer") and output file. Returns the combined trace, or nullopt with *error.
using Starter = std::function<std::unique_ptr<HostProcess>(
    const std::string& argument, const fs::path& output, std::string* error)>;
std::optional<std::string> RunProgram(const Starter& start, const fs::path& folder, bool peer,
                                      std::string* error) {
  std::unique_ptr<HostProcess> peer_process;
  if (peer) {
    peer_process = start("peer", folder / "peer.txt", error);
    if (!peer_process) return std::nullopt;
    // The peer's first line says its window is made. Under Wine this also means its server is
    // up: two clients that both find none start two, and the one that loses takes its socket
    // folder with it ("wine: chdir to /tmp/wine-...: No such file or directory").
    const auto give_up = std::chrono::steady_clock::now() + kPeerLimit;
    auto has_spoken = [&] {
      std::error_code ec;
      const std::uintmax_t size = fs::file_size(folder / "peer.txt", ec);
      return !ec && size > 0;
    };
    while (std::chrono::steady_clock::now() < give_up && !peer_process->Ended() && !has_spoken()) {
      peer_process->Wait(std::chrono::milliseconds(20));
    }
  }
  std::unique_ptr<HostProcess> main_process = start("", folder / "main.txt", error);
  if (!main_process) return std::nullopt;
  std::optional<int> status = main_process->Wait(kRunLimit);
  std::string trace = Ended(folder / "main.txt", status, kRunLimit);
  if (peer_process) {
    std::optional<int> peer_status = peer_process->Wait(kPeerLimit);
    trace += "--- peer ---\n" + Ended(folder / "peer.txt", peer_status, kPeerLimit);
  }
  return trace;
}

std::optional<std::string> RunOnDevice(const Options& options, const fs::path& folder,
                                       std::string* error) {
  if (!MakeDevice(folder, options.clock, error)) return std::nullopt;
  Starter start = [&](const std::string& argument, const fs::path& output, std::string* err) {
    HostProcess::Options run;
    run.argv = {options.device_build.string(), folder.string()};
    if (!argument.empty()) run.argv.push_back(argument);
    run.env = kepla::wine::EnvironmentWith({});
    run.output = output;
    return HostProcess::Start(run, err);
  };
  return RunProgram(start, folder, options.peer, error);
}

std::optional<std::string> RunUnderWine(const Options& options, const fs::path& folder,
                                        std::string* error) {
  // Wine's device runs on real time whatever the device build's clock.
  if (!MakeDevice(folder, "real", error)) return std::nullopt;
  std::optional<wce::DeviceProfile> profile = wce::LoadProfile(folder, error);
  if (!profile) return std::nullopt;
  const fs::path base = kepla::wine::DefaultBasePrefix();
  if (base.empty()) {
    *error = "no place for the Wine prefix: set KEPLA_WINE_BASE or HOME";
    return std::nullopt;
  }
  if (!kepla::wine::EnsureBasePrefix(base, std::cout, error)) return std::nullopt;
  std::optional<kepla::wine::DeviceWine> wine =
      kepla::wine::PrepareDeviceWine(folder, *profile, base, options.win32_dir, error);
  if (!wine) return std::nullopt;
  const std::string exe_name = options.name + ".exe";
  std::error_code ec;
  fs::copy_file(options.desktop_build, wine->shim / exe_name, ec);
  if (ec) {
    *error = options.desktop_build.string() + ": " + ec.message();
    return std::nullopt;
  }
  std::unique_ptr<kepla::wine::Xvfb> xvfb =
      kepla::wine::Xvfb::Start(kScreenWidth, kScreenHeight, folder / "xvfb.log", error);
  if (!xvfb) return std::nullopt;
  const std::vector<std::string> env =
      kepla::wine::WineEnvironment(*wine, {{"DISPLAY", xvfb->display()}});

  Starter start = [&](const std::string& argument, const fs::path& output, std::string* err) {
    HostProcess::Options run;
    run.argv = kepla::wine::WineCommand({kepla::wine::ShimPath(exe_name)});
    if (!argument.empty()) run.argv.push_back(argument);
    run.env = env;
    run.output = output;
    run.cwd = wine->root;  // drive D:, the device's root folder "\"
    return HostProcess::Start(run, err);
  };
  std::optional<std::string> trace = RunProgram(start, folder, options.peer, error);

  // The device's Wine server goes with the run, not seconds later.
  HostProcess::Options stop;
  stop.argv = {"wineserver", "-k"};
  stop.env = env;
  std::string ignored;
  if (std::unique_ptr<HostProcess> server = HostProcess::Start(stop, &ignored)) {
    server->Wait(std::chrono::seconds(10));
  }
  return trace;
}

void PrintDiff(const fs::path& folder, const std::string& device, const std::string& desktop) {
  std::ofstream(folder / "device-trace.txt", std::ios::binary) << device;
  std::ofstream(folder / "desktop-trace.txt", std::ios::binary) << desktop;
  HostProcess::Options diff;
  diff.argv = {"diff",
               "-u",
               "--label",
               "device (our layer)",
               "--label",
               "desktop (Wine)",
               (folder / "device-trace.txt").string(),
               (folder / "desktop-trace.txt").string()};
  diff.env = kepla::wine::EnvironmentWith({});
  diff.output = folder / "diff.txt";
  std::string error;
  if (std::unique_ptr<HostProcess> process = HostProcess::Start(diff, &error)) {
    process->Wait(std::chrono::seconds(10));
    std::cout << "=== diff\n" << Slurp(folder / "diff.txt");
  } else {
    std::cout << "=== no diff: " << error << "\n";
  }
}

// The trace without the lines only one platform prints ("[device only] ...", "[desktop only]
// ..."): what the comparison looks at.
std::string Compared(const std::string& trace) {
  std::istringstream in(trace);
  std::string compared;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("[device only] ", 0) == 0 || line.rfind("[desktop only] ", 0) == 0) continue;
    compared += line + "\n";
  }
  return compared;
}

double Seconds(Clock::duration d) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(d).count() / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string usage = std::string("usage: ") + argv[0] +
                            " --name NAME --device-build EXE --win32-builds DIR [--peer]"
                            " [--clock virtual|real]\n";
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::cout << usage;
    return 0;
  }
  std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::cerr << usage;
    return 2;
  }
  Scratch scratch(options->name);
  if (scratch.path().empty()) {
    std::cerr << "conformance: cannot make a scratch folder\n";
    return 2;
  }
  std::string error;
  const Clock::time_point start = Clock::now();
  std::optional<std::string> device = RunOnDevice(*options, scratch.path() / "device", &error);
  if (!device) {
    std::cerr << "conformance: the device run failed: " << error << "\n";
    return 2;
  }
  const Clock::time_point between = Clock::now();
  std::optional<std::string> desktop = RunUnderWine(*options, scratch.path() / "wine", &error);
  if (!desktop) {
    std::cerr << "conformance: the Wine run failed: " << error << "\n";
    return 2;
  }
  std::cout << options->name << ": device " << Seconds(between - start) << " s, Wine ("
            << kepla::wine::HostWine().arch << " build) " << Seconds(Clock::now() - between)
            << " s\n";
  std::cout << "=== device (our layer)\n" << *device << "=== desktop (Wine)\n" << *desktop;
  const std::string compared_device = Compared(*device);
  const std::string compared_desktop = Compared(*desktop);
  if (compared_device == compared_desktop) {
    std::cout << "=== the traces are equal (lines marked for one platform aside)\n";
    return 0;
  }
  PrintDiff(scratch.path(), compared_device, compared_desktop);
  return 1;
}
