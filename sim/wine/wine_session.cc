#include "sim/wine/wine_session.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include <wince/utf.h>
#include <wince/device_path.h>
#include "sim/card_files.h"
#include "sim/session.h"
#include "sim/transcript.h"
#include "sim/wine/agent_link.h"
#include "sim/wine/host_process.h"
#include "sim/wine/wine_host.h"
#include "sim/wine/wine_prefix.h"
#include "sim/wine/wine_screen.h"
#include "sim/wine/xvfb.h"

// The folder that holds the Win32 builds (win32-i686, win32-x86_64); empty when none was made.

namespace kepla::wine {
namespace fs = std::filesystem;
namespace {

// How long Wine may take to start the program (the first run on a device also starts its
// Wine server).
constexpr std::chrono::seconds kStartLimit{90};

std::string Slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The last lines of a log, for a message.
std::string Tail(const fs::path& log, std::size_t lines) {
  std::string text = Slurp(log);
  std::size_t at = text.size();
  for (std::size_t n = 0; at > 0 && n <= lines; --at) {
    if (text[at - 1] == '\n') ++n;
  }
  return text.substr(at);
}

// The figures the shim answers from, as it reads them (win32/src/device_profile.h).
std::string ShimProfileText(const wce::DeviceProfile& profile) {
  std::ostringstream out;
  out << "identity.model=" << wce::Utf16ToUtf8(profile.model) << "\n"
      << "identity.romVersion=" << wce::Utf16ToUtf8(profile.rom_version) << "\n"
      << "identity.extRomVersion=" << wce::Utf16ToUtf8(profile.ext_rom_version) << "\n"
      << "identity.answers=" << (profile.identity_answers ? 1 : 0) << "\n"
      << "battery.percent=" << profile.battery_percent << "\n"
      << "battery.fails=" << (profile.battery_fails ? 1 : 0) << "\n"
      << "memory.load=" << profile.memory_load << "\n"
      << "display.width=" << profile.display_width << "\n"
      << "display.height=" << profile.display_height << "\n";
  for (const wce::CardSpec& card : profile.cards) {
    if (card.free_bytes) {
      out << "card." << wce::Utf16ToUtf8(card.name) << ".freeBytes=" << *card.free_bytes << "\n";
    }
  }
  return out.str();
}

// The device's volumes as its file system maps them: the root fs/ first, then the cards.
std::vector<wce::Volume> DeviceVolumes(const fs::path& device_folder,
                                       const wce::DeviceProfile& profile) {
  std::vector<wce::Volume> volumes;
  volumes.push_back(wce::Volume{u"", (fs::absolute(device_folder) / "fs").lexically_normal()});
  for (const wce::CardSpec& card : profile.cards) volumes.push_back({card.name, card.host});
  return volumes;
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  return fs::file_size(a, ec) == fs::file_size(b, ec) && !ec && Slurp(a) == Slurp(b);
}

// The program file at the profile's program path. The run that finds no file there places the
// build's own and marks it as placed; every run holds a shared lock on the device's run lock,
// and the run that ends last removes a placed program that is still the one placed.
class ProgramPlacement {
 public:
  static std::unique_ptr<ProgramPlacement> Place(const fs::path& device_folder,
                                                 const wce::DeviceProfile& profile,
                                                 const fs::path& exe, const fs::path& wine_dir,
                                                 std::string* error) {
    const std::vector<wce::Volume> volumes = DeviceVolumes(device_folder, profile);
    wce::HostLocation where;
    const std::string device_path = wce::Utf16ToUtf8(profile.program);
    if (wce::MapDevicePath(volumes, profile.program, &where) != ERROR_SUCCESS) {
      *error = "the program's folder for " + device_path + " does not exist on the device";
      return nullptr;
    }
    auto placement = std::unique_ptr<ProgramPlacement>(new ProgramPlacement);
    placement->file_ = where.host;
    placement->exe_ = exe;
    placement->marker_ = wine_dir / "placed-program";
    placement->lock_fd_ =
        open((wine_dir / "runs.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (placement->lock_fd_ < 0 || flock(placement->lock_fd_, LOCK_SH) != 0) {
      *error = (wine_dir / "runs.lock").string() + ": cannot be locked";
      return nullptr;
    }
    std::error_code ec;
    if (fs::exists(where.host, ec)) {
      if (!SameFile(where.host, exe)) {
        *error = device_path + " (" + where.host.string() +
                 ") holds another program; --platform wine places its own build there: move it "
                 "away first";
        return nullptr;
      }
      return placement;
    }
    const fs::path temp = where.host.string() + ".kepla-new";
    fs::copy_file(exe, temp, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::rename(temp, where.host, ec);
    if (ec) {
      *error = where.host.string() + ": cannot place the program: " + ec.message();
      fs::remove(temp, ec);  // clears ec: the reason is taken first
      return nullptr;
    }
    std::ofstream(placement->marker_) << where.host.string() << "\n";
    return placement;
  }

  ~ProgramPlacement() {
    if (lock_fd_ < 0) return;
    // The last run on the device takes the lock alone.
    flock(lock_fd_, LOCK_UN);
    if (flock(lock_fd_, LOCK_EX | LOCK_NB) == 0) {
      std::error_code ec;
      std::string placed = Slurp(marker_);
      while (!placed.empty() && placed.back() == '\n') placed.pop_back();
      if (placed == file_.string() && SameFile(file_, exe_)) fs::remove(file_, ec);
      fs::remove(marker_, ec);
    }
    close(lock_fd_);
  }

 private:
  ProgramPlacement() = default;
  fs::path file_;
  fs::path exe_;
  fs::path marker_;
  int lock_fd_ = -1;
};

// Removes a run's own files (profile, logs) at its end.
struct RunFiles {
  std::vector<fs::path> files;
  bool keep_logs = false;
  ~RunFiles() {
    std::error_code ec;
    for (const fs::path& f : files) {
      if (!keep_logs || f.extension() != ".log") fs::remove(f, ec);
    }
  }
};

}  // namespace

fs::path DefaultWin32Dir() {
  if (const char* dir = std::getenv("KEPLA_WIN32_DIR"); dir != nullptr && *dir != 0) return dir;
  return Win32BuildDir(Win32Builds(), HostWine().arch);
}

std::string WineRefusal(const wce::DeviceProfile& profile) {
  if (profile.clock.mode != wce::ClockMode::kReal || profile.clock.factor != 1.0) {
    return "the device's clock is \"" + profile.clock.ToString() +
           "\"; --platform wine runs on real time only (use --platform sim)";
  }
  if (!profile.faults.empty()) {
    return "the device's profile lists faults; --platform wine cannot inject them (use --platform "
           "sim)";
  }
  if (profile.display_rotation != 0) {
    return "the device's display is rotated; --platform wine cannot turn a desktop display (use "
           "--platform sim)";
  }
  return std::string();
}

int RunWineSession(const WineSessionOptions& options, Frontend& frontend, std::ostream& err) {
  auto fail = [&err](const std::string& message) {
    err << "kepla: " << message << "\n";
    return kExitUsage;
  };
  std::string error;
  std::optional<wce::DeviceProfile> profile = wce::LoadProfile(options.device_folder, &error);
  if (!profile) return fail(error);
  if (!wce::CheckCardFolders(options.device_folder, *profile, &error)) return fail(error);
  if (std::string why = WineRefusal(*profile); !why.empty()) return fail(why);

  const WineHost& host = HostWine();
  if (host.arch.empty()) return fail("--platform wine cannot run here: " + host.why);
  err << "kepla: Wine runs the " << host.arch << " Win32 build: " << host.why << "\n";
  const fs::path exe = options.win32_dir / "KEPLA.exe";
  std::error_code ec;
  if (options.win32_dir.empty() || !fs::exists(exe, ec) ||
      !fs::exists(options.win32_dir / "COREDLL.DLL", ec)) {
    return fail(
        "--platform wine needs the Win32 build (KEPLA.exe and COREDLL.DLL in " +
        (options.win32_dir.empty() ? std::string("the build") : options.win32_dir.string()) +
        "): install mingw-w64 (scripts/deps.sh) and build again, or set KEPLA_WIN32_DIR");
  }
  const fs::path base = DefaultBasePrefix();
  if (base.empty()) return fail("no place for the Wine prefix: set KEPLA_WINE_BASE or HOME");
  if (!EnsureBasePrefix(base, err, &error)) return fail(error);
  std::optional<DeviceWine> wine =
      PrepareDeviceWine(options.device_folder, *profile, base, options.win32_dir, &error);
  if (!wine) return fail(error);
  const fs::path wine_dir = wine->prefix.parent_path();
  std::unique_ptr<ProgramPlacement> placement =
      ProgramPlacement::Place(options.device_folder, *profile, exe, wine_dir, &error);
  if (!placement) return fail(error);

  CardWatch cards{
      DeviceVolumes(options.device_folder, *profile), profile->program, {}, options.device_folder};
  cards.before = ListCardFiles(cards.volumes, cards.program, cards.device_folder);

  RunFiles run_files;
  const std::string pid = std::to_string(getpid());
  const std::string profile_name = "profile-" + pid + ".txt";
  const fs::path profile_file = wine->shim / profile_name;
  const fs::path wine_log = wine_dir / ("run-" + pid + ".log");
  const fs::path xvfb_log = wine_dir / ("xvfb-" + pid + ".log");
  run_files.files = {profile_file, wine_log, xvfb_log};
  fs::remove(wine_log, ec);
  std::ofstream(profile_file, std::ios::binary | std::ios::trunc) << ShimProfileText(*profile);

  std::unique_ptr<Xvfb> xvfb;
  std::string display;
  if (options.user_display) {
    const char* d = std::getenv("DISPLAY");
    display = d != nullptr ? d : "";
  } else {
    xvfb = Xvfb::Start(profile->display_width, profile->display_height, xvfb_log, &error);
    if (!xvfb) return fail(error);
    display = xvfb->display();
  }
  std::unique_ptr<AgentListener> listener = AgentListener::Open(&error);
  if (!listener) return fail(error);

  HostProcess::Options run;
  run.argv = WineCommand({WinePath(profile->program)});
  for (const std::string& arg : options.program_args) run.argv.push_back(arg);
  run.env = WineEnvironment(*wine, {{"DISPLAY", display},
                                    {"KEPLA_AGENT", listener->address()},
                                    {"KEPLA_DEVICE_PROFILE", ShimPath(profile_name)}});
  run.output = wine_log;
  run.cwd = wine->root;
  std::unique_ptr<HostProcess> program = HostProcess::Start(run, &error);
  if (!program) return fail(error + " (install Wine: scripts/deps.sh)");

  std::unique_ptr<AgentLink> link =
      listener->Accept(kStartLimit, [&program] { return program->Ended(); });
  if (!link) {
    run_files.keep_logs = true;
    program->Kill(SIGKILL);
    program->Wait(std::chrono::seconds(5));
    return fail("Wine did not start the program (see " + wine_log.string() + "):\n" +
                Tail(wine_log, 5));
  }

  FrontendResult result;
  int code;
  AgentLink::ExitReport exit_report;
  std::uint64_t end_ms;
  {
    WineScreen screen(*link, *program, options.transcript);
    result = frontend.Drive(screen, [] {});
    if (result.outcome != FrontendResult::Outcome::kProgramEnded) program->Kill(SIGKILL);
    std::optional<int> status = program->Wait(std::chrono::seconds(30));
    code = status.value_or(-1);
    if (result.outcome != FrontendResult::Outcome::kProgramEnded) code = -1;
    end_ms = screen.Now();
    const wce::ScreenSnapshot last = screen.LastScreen();
    exit_report = link->exit_report().value_or(
        AgentLink::ExitReport{code, last.backlight_held, last.idle_timer_resets});
  }
  if (options.transcript) {
    Transcript::ExitRecord exit;
    exit.code = code;
    exit.stopped = result.outcome != FrontendResult::Outcome::kProgramEnded;
    exit.backlight_held = exit_report.backlight_held;
    exit.idle_timer_resets = exit_report.idle_timer_resets;
    options.transcript->WriteExit(end_ms, exit);
  }

  return SessionStatus(result, code, cards, err);
}

}  // namespace kepla::wine
