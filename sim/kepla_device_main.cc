// kepla-device: make, inspect and poke simulated device folders.
#include <iostream>
#include <string>

#include <wince/utf.h>
#include <wince/running_programs.h>
#include "sim/cli_errors.h"
#include "sim/device_folder.h"
#include "sim/device_report.h"
#include "sim/wine/wine_host.h"
#include "sim/wine/wine_prefix.h"
#include "sim/wine/wine_session.h"
#include "tools/pending_temporaries.h"
#include "tools/standard_streams.h"

namespace {

// Paths in messages are the user's own and may hold a newline or an escape: made printable.
int Fail(const std::string& message) {
  std::cerr << "kepla-device: " << kepla::Printable(message) << "\n";
  return 2;
}

int Init(const std::string& dir, const kepla::InitOptions& options) {
  std::string error;
  if (!kepla::InitDeviceFolder(dir, options, &error)) return Fail(error);
  std::cout << "Made device folder " << kepla::Printable(dir)
            << (options.demo ? " with the demo package" : "") << "\n";
  if (!options.demo && kepla::ProgramFolderWithoutPackage(dir)) {
    std::cout << "It holds no firmware package yet: put one made by kepla-pkg build in "
              << kepla::Printable((kepla::UpgradeFolder(dir) / "").string())
              << " (or make the folder with --demo to get the demo package)\n";
  }
  return 0;
}

int Signal(const std::string& dir, const std::string& event, const std::string& platform) {
  std::u16string name;
  if (event.empty() || !wce::Utf8ToUtf16(event, &name)) {
    return Fail("the event name must be non-empty UTF-8");
  }
  std::string error;
  if (!kepla::CheckDeviceFolder(dir, &error)) return Fail(error);
  if (platform == "wine") {
    const int status =
        kepla::wine::SignalEventUnderWine(dir, name, kepla::wine::DefaultWin32Dir(), &error);
    if (status == 2) return Fail(error);
    if (status == 1)
      std::cerr << "kepla-device: no program on " << kepla::Printable(dir) << " has the event "
                << kepla::Printable(event) << "\n";
    return status;
  }
  if (!wce::SignalRunningPrograms(dir, name, &error)) {
    std::cerr << "kepla-device: " << kepla::Printable(error) << "\n";
    return 1;
  }
  return 0;
}

int WineSetup() {
  const std::filesystem::path base = kepla::wine::DefaultBasePrefix();
  if (base.empty()) return Fail("no place for the Wine prefix: set KEPLA_WINE_BASE or HOME");
  std::string error;
  if (!kepla::wine::EnsureBasePrefix(base, std::cerr, &error)) return Fail(error);
  std::cout << "The Wine prefix for --platform wine is ready in " << base.string() << "\n";
  const kepla::wine::WineHost& host = kepla::wine::HostWine();
  if (host.arch.empty()) return Fail("Wine cannot run the Win32 build here: " + host.why);
  std::cout << "Wine runs the " << host.arch << " Win32 build: " << host.why << "\n";
  return 0;
}

int Show(const std::string& dir, bool json) {
  std::string error;
  auto report = kepla::GatherDeviceReport(dir, &error);
  if (!report) return Fail(error);
  if (json) {
    std::cout << report->dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  } else {
    std::cout << kepla::FormatDeviceReport(*report);
  }
  return 0;
}

int Main(int argc, char** argv) {
  CLI::App app{"Makes, shows and signals simulated devices for kepla.", "kepla-device"};
  app.require_subcommand(1);

  std::string dir;
  kepla::InitOptions init_options;
  CLI::App* init = app.add_subcommand(
      "init", "Make DIR a device folder: device.json with the defaults, fs/Storage Card/Upgrade/");
  init->add_option("DIR", dir, "the device folder (made if missing)")->required();
  init->add_flag("--demo", init_options.demo,
                 "also write a firmware package that fits the device, and a card with room");
  init->add_flag("--force", init_options.force, "replace an existing device.json");

  std::string event;
  CLI::App* signal = app.add_subcommand(
      "signal", "Set the named event EVENT of the program running on DIR (exit 1 if none has it)");
  signal->add_option("DIR", dir, "the device folder")->required();
  signal->add_option("EVENT", event, "the event name, e.g. UNPACK_DATA_ABORT")->required();
  std::string platform = "sim";
  signal
      ->add_option("--platform", platform,
                   "sim (default): a program on the simulated device; wine: one under Wine")
      ->check(CLI::IsMember({"sim", "wine"}));

  CLI::App* wine_setup = app.add_subcommand(
      "wine-setup",
      "Make the Wine prefix that kepla --platform wine uses, ahead of the first run (in "
      "$KEPLA_WINE_BASE, else ~/.cache/kepla/wine-base)");

  bool json = false;
  CLI::App* show = app.add_subcommand(
      "show", "Print the device's profile, cards and files, packages, and running programs");
  show->add_option("DIR", dir, "the device folder")->required();
  show->add_flag("--json", json, "print JSON instead of text");

  if (int status = kepla::ParseCommandLine(app, argc, argv); status >= 0) return status;
  if (init->parsed()) return Init(dir, init_options);
  if (signal->parsed()) return Signal(dir, event, platform);
  if (wine_setup->parsed()) return WineSetup();
  return Show(dir, json);
}

}  // namespace

int main(int argc, char** argv) {
  kepla::pkg::KeepStandardStreamsOpen();
  // A demo package being written by init is removed when a signal ends the program.
  kepla::pkg::RemoveTemporariesOnSignals();
  // A report or help that did not reach its reader (a full disk behind >) is a failure.
  return kepla::pkg::CheckStandardOutput("kepla-device", Main(argc, argv));
}
