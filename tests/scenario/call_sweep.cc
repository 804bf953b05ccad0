#include "scenario/call_sweep.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include <wince/call_catalogue.h>
#include <wince/profile.h>
#include "res/resource.h"
#include "support/program_device.h"
#include "support/program_thread.h"
#include "support/scratch_dir.h"
#include "support/sim_process.h"
#include "tools/package_file.h"

namespace kepla_test::sweep {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr char kPreparationFailed[] =
    "Data preparation failed. Format your storage card then try again.";
// Runs of one trial before it gives up finding what the user has to press.
constexpr int kMostAttempts = 6;
// Real seconds a kepla run may take before it counts as hung (it takes a few hundredths).
constexpr int kRealDeadlineSeconds = 60;

std::string Slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

std::string Join(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ",") + part;
  return text;
}

// Lines of JSON, skipping what does not parse (a line cut by a power cut).
std::vector<json> JsonLines(const fs::path& file) {
  std::vector<json> lines;
  std::istringstream in(Slurp(file));
  for (std::string line; std::getline(in, line);) {
    json value = json::parse(line, nullptr, false);
    if (!value.is_discarded() && value.is_object()) lines.push_back(std::move(value));
  }
  return lines;
}

// What a user who goes on presses on `screen` (a transcript screen record): OK on a message,
// Next on the Welcome and Prepare pages, Close on the Finish page; empty when it offers nothing.
std::string GoOn(const json& screen) {
  if (screen.contains("messageBox") && !screen["messageBox"].is_null()) return "ok";
  const int page = screen.value("template", 0);
  const json keys = screen.value("softKeys", json::array());
  const auto enabled = [&](std::size_t i) {
    return keys.size() > i && keys[i].value("enabled", false);
  };
  if (page == IDD_FINISH || page == IDD_FINISH_WIDE) return enabled(1) ? "right" : "";
  if (page == IDD_WELCOME || page == IDD_WELCOME_WIDE || page == IDD_PREPARE ||
      page == IDD_PREPARE_WIDE) {
    return enabled(0) ? "left" : "";
  }
  return "";
}

Run ReadRun(const ProcessResult& process, const fs::path& transcript, const fs::path& calls) {
  Run run;
  run.status = process.status;
  run.timed_out = process.timed_out;
  run.err = process.err;
  for (const json& line : JsonLines(transcript)) {
    const std::string type = line.value("type", "");
    if (type == "screen") {
      const int page = line.value("template", 0);
      run.finish_shown |= page == IDD_FINISH || page == IDD_FINISH_WIDE;
      run.offered = GoOn(line);
    } else if (type == "messagebox") {
      run.boxes.push_back(line.value("text", ""));
    } else if (type == "exit") {
      run.exit_record = true;
      run.power_off = line.value("powerOff", false);
      run.device_ms = line.value("t", std::uint64_t{0});
    }
  }
  for (const json& line : JsonLines(calls)) {
    CallRecord record;
    record.call = line.value("call", "");
    record.nth = line.value("nth", 0);
    record.thread = line.value("thread", "");
    record.file = line.value("file", "");
    run.calls.push_back(std::move(record));
  }
  return run;
}

// The device of one trial: the package beside the program, device.json written for kepla.
class TrialDevice : public ProgramDevice {
 public:
  explicit TrialDevice(const Scenario& scenario) : scenario_(scenario) {
    WritePackage(MatchingFields(), static_cast<std::size_t>(kImageBytes));
    SetFreeSpace(&profile_, std::uint64_t{1} << 30);
    profile_.battery_percent = scenario.battery_percent;
    package_ = Slurp(HostPath(kPackagePath));
  }

  const wce::DeviceProfile& profile() const { return profile_; }

  // device.json for the next kepla: the scenario's device with `fault` (if any).
  void WriteProfile(const Fault& fault) {
    std::string error;
    EXPECT_TRUE(wce::SaveProfile(folder(), profile_, &error)) << error;
    json profile = json::parse(Slurp(folder() / "device.json"));
    profile["clock"] = "virtual";
    json faults = json::array();
    if (fault.kind != Fault::Kind::kNone) {
      json entry = {{"kind", fault.kind == Fault::Kind::kCallFails ? "callFails" : "powerOff"},
                    {"call", fault.call},
                    {"nth", fault.nth}};
      if (fault.error) entry["error"] = *fault.error;
      faults.push_back(entry);
    }
    profile["faults"] = faults;
    std::ofstream(folder() / "device.json", std::ios::binary) << profile.dump(2) << "\n";
  }

  // kepla on this device with `script`, recording calls; `fault` in its profile.
  Run Kepla(const Fault& fault, const std::vector<std::string>& script,
            const std::vector<std::string>& program_args) {
    WriteProfile(fault);
    const std::string tag = std::to_string(++runs_);
    // Outside the device folder, as kepla asks.
    const fs::path transcript = records_ / ("transcript" + tag + ".jsonl");
    const fs::path calls = records_ / ("calls" + tag + ".jsonl");
    std::vector<std::string> args = {
        "--device",          folder().string(), "--clock",
        "virtual",           "--timeout",       std::to_string(kTimeoutSeconds),
        "--script",          Join(script),      "--transcript",
        transcript.string(), "--calls",         calls.string()};
    if (!program_args.empty()) {
      args.push_back("--");
      args.insert(args.end(), program_args.begin(), program_args.end());
    }
    const ProcessResult process =
        RunProcess(SimProgram("kepla"), args, folder(), {}, kRealDeadlineSeconds);
    Run run = ReadRun(process, transcript, calls);
    run.script = Join(script);
    return run;
  }

  bool PackageIntact() const { return Slurp(HostPath(kPackagePath)) == package_; }

  Card ReadCard(const std::string& extracted) const {
    Card card;
    const fs::path image = HostPath(kImagePath);
    std::error_code ec;
    if (!fs::exists(image, ec)) return card;
    card.image = true;
    card.bytes = fs::file_size(image, ec);
    card.identical = Slurp(image) == extracted;
    // Whether it is hidden, as the device sees it.
    const ProcessResult show =
        RunProcess(SimProgram("kepla-device"), {"show", folder().string(), "--json"}, folder(), {},
                   kRealDeadlineSeconds);
    const json report = json::parse(show.out, nullptr, false);
    if (report.is_discarded()) return card;
    for (const json& c : report.value("cards", json::array())) {
      for (const json& file : c.value("files", json::array())) {
        if (file.value("path", "") == "\\Storage Card\\407_QMR_SD.bin") {
          card.hidden = file.value("hidden", false);
        }
      }
    }
    return card;
  }

 private:
  Scenario scenario_;
  ScratchDir records_;  // the runs' transcripts and call records
  wce::DeviceProfile profile_;
  std::string package_;
  int runs_ = 0;
};

// The image kepla-pkg extracts from the package every trial uses.
const std::string& ExtractedImage() {
  static const std::string image = [] {
    TrialDevice device(Scenario{});
    const fs::path out = device.folder() / "extracted.bin";
    const ProcessResult extract = RunProcess(
        fs::path(KEPLA_BINARY_DIR) / "tools" / "kepla-pkg",
        {"extract", device.HostPath(ProgramDevice::kPackagePath).string(), "-o", out.string()},
        device.folder());
    EXPECT_EQ(extract.status, 0) << extract.err;
    return Slurp(out);
  }();
  return image;
}

// The script to try next when `run` was stuck on the script it had: the presses the screen
// asked for instead. nullopt when the run was not stuck on its script, or the screen offered
// nothing (a hang, for Broken to report).
std::optional<std::vector<std::string>> BetterScript(const Run& run,
                                                     const std::vector<std::string>& script) {
  if (run.status != 3) return std::nullopt;
  // "action N ..." names the step it could not apply; "did not end" follows the last one.
  std::size_t done = script.size();
  const std::size_t at = run.err.find("action ");
  if (at != std::string::npos) done = std::stoul(run.err.substr(at + 7)) - 1;
  std::vector<std::string> better(script.begin(),
                                  script.begin() + static_cast<std::ptrdiff_t>(done));
  const bool ended = run.err.find("the program ended before") != std::string::npos;
  if (!ended) {
    if (run.offered.empty()) return std::nullopt;
    better.push_back(run.offered);
  }
  if (better == script) return std::nullopt;
  return better;
}

// A copy of the wizard, running on the device in this process, on its Welcome page.
void StartRunningCopy(TrialDevice& device) {
  device.Boot(device.profile(), /*publish=*/true);
  device.StartProgram(&ProgramProcess, u"");
  device.WaitForTemplate(IDD_WELCOME);
}

}  // namespace

std::vector<Scenario> Scenarios() {
  std::vector<Scenario> scenarios(4);
  scenarios[0].name = "happy path";
  // The wait is the user's, watching the bar: Close is pressed on the Finish page, never on a
  // Prepare page whose Cancel stayed enabled.
  scenarios[0].script = {"left", "left", "wait:60000", "right"};
  scenarios[1].name = "install, an image on the card";
  scenarios[1].program_args = {"install"};
  scenarios[1].image_first = true;
  scenarios[1].ends = Scenario::Ends::kImageRemoved;
  scenarios[2].name = "uninstall, a copy of the wizard running";
  scenarios[2].program_args = {"uninstall"};
  scenarios[2].running_copy = true;
  scenarios[2].ends = Scenario::Ends::kCopyClosed;
  scenarios[3].name = "a refused check (battery at 10 %)";
  scenarios[3].script = {"left", "ok"};
  scenarios[3].battery_percent = 10;
  scenarios[3].ends = Scenario::Ends::kRefused;
  return scenarios;
}

Trial RunTrial(const Scenario& scenario, const Fault& fault) {
  Trial trial;
  trial.scenario = scenario;
  trial.fault = fault;
  std::vector<std::string> first_script = scenario.script;
  std::vector<std::string> second_script = scenario.script;
  for (;;) {
    ++trial.attempts;
    TrialDevice device(scenario);
    if (scenario.image_first) {
      // The image a whole run prepared, hidden, as an installer finds it.
      const Run setup = device.Kepla(Fault{}, {"left", "left", "right"}, {});
      EXPECT_EQ(setup.status, 16) << setup.err;
      ++trial.kepla_runs;
      trial.device_ms += setup.device_ms;
    }
    if (scenario.running_copy) StartRunningCopy(device);
    trial.first = device.Kepla(fault, first_script, scenario.program_args);
    ++trial.kepla_runs;
    trial.device_ms += trial.first.device_ms;
    trial.package_intact_first = device.PackageIntact();
    trial.after_first = device.ReadCard(ExtractedImage());
    trial.second.reset();
    // After a power cut, or a run kepla had to stop, the user starts the program again.
    if ((fault.kind == Fault::Kind::kPowerOff && trial.first.status == 5) ||
        trial.first.status == 3) {
      trial.second = device.Kepla(Fault{}, second_script, scenario.program_args);
      ++trial.kepla_runs;
      trial.device_ms += trial.second->device_ms;
      trial.package_intact_second = device.PackageIntact();
      trial.after_second = device.ReadCard(ExtractedImage());
    }
    if (trial.attempts >= kMostAttempts) break;
    if (auto better = BetterScript(trial.first, first_script)) {
      first_script = *better;
      continue;
    }
    if (trial.second) {
      if (auto better = BetterScript(*trial.second, second_script)) {
        second_script = *better;
        continue;
      }
    }
    break;
  }
  trial.broken = Broken(trial);
  return trial;
}

namespace {

bool ToldFailure(const Run& run) {
  for (const std::string& box : run.boxes) {
    if (box == kPreparationFailed) return true;
  }
  return false;
}

// Whether the worker was terminated (by the watchdog, or after an abort) in this run.
bool WorkerTerminated(const Run& run) {
  for (const CallRecord& call : run.calls) {
    if (call.call == "TerminateThread") return true;
  }
  return false;
}

// Whether a failure of `call` keeps a page from being shown at all: its template is looked up,
// loaded and made into a dialog by these.
bool ShowsPage(const std::string& call) {
  return call == "FindResourceW" || call == "LoadResource" || call == "DialogBoxIndirectParamW";
}

}  // namespace

bool Strands(const std::string& call) {
  return call == "SHCreateMenuBar" || call == "SetWindowLongW" || call == "EndDialog";
}

namespace {

void CheckEnd(const std::string& which, const Run& run, bool power_off_expected,
              std::vector<std::string>* broken) {
  if (run.timed_out || (run.status == 3 && run.err.find("not end") != std::string::npos)) {
    broken->push_back(which + ": did not end within " + std::to_string(kTimeoutSeconds) +
                      " s of device time (" + run.err.substr(0, run.err.find('\n')) + ")");
    return;
  }
  if (run.err.find("Sanitizer") != std::string::npos ||
      run.err.find("runtime error:") != std::string::npos) {
    const std::size_t from = run.err.find("ERROR: ");
    broken->push_back(which + ": a sanitizer report: " +
                      run.err.substr(from == std::string::npos ? 0 : from, 600));
  }
  const bool own = run.status == 0 || run.status == 16;
  if (power_off_expected ? run.status != 5 : !own) {
    broken->push_back(which + ": exit status " + std::to_string(run.status) + " (" +
                      run.err.substr(0, run.err.find('\n')) + ")");
  }
  if (!run.exit_record) broken->push_back(which + ": the transcript has no exit record");
  if (run.exit_record && run.device_ms > std::uint64_t{kTimeoutSeconds} * 1000) {
    broken->push_back(which + ": ended after " + std::to_string(run.device_ms / 1000) +
                      " s of device time");
  }
}

void CheckCard(const std::string& which, const Run& run, const Card& card, const Fault& failed,
               std::vector<std::string>* broken) {
  if (run.finish_shown) {
    if (!card.image || !card.identical || !card.hidden) {
      broken->push_back(which + ": the Finish page was shown, but the card holds " +
                        (!card.image       ? std::string("no image")
                         : !card.identical ? "an image unlike the package's (" +
                                                 std::to_string(card.bytes) + " bytes)"
                                           : std::string("a visible image")));
    }
    return;
  }
  if (!card.image) return;
  if (card.bytes == 0 && WorkerTerminated(run)) return;  // the watchdog's, by design
  // The preparation succeeded and the Finish page alone could not be made: the wizard ends on
  // whatever that page returns, and nothing removes an image once it has been verified.
  if (failed.kind == Fault::Kind::kCallFails && ShowsPage(failed.call) && card.identical &&
      card.hidden && run.boxes.empty()) {
    return;
  }
  // The call that failed was the very one that would have removed the image.
  const bool remover = failed.kind == Fault::Kind::kCallFails && failed.call == "DeleteFileW";
  if (remover && ToldFailure(run)) return;
  broken->push_back(which + ": no Finish page, and the card holds an image of " +
                    std::to_string(card.bytes) + " bytes" + (card.identical ? " (complete)" : "") +
                    (ToldFailure(run) ? ", though the user was told it failed" : ""));
}

}  // namespace

bool LeftStuck(const Trial& trial) {
  return trial.first.status == 3 && trial.fault.kind == Fault::Kind::kCallFails &&
         Strands(trial.fault.call);
}

std::vector<std::string> Broken(const Trial& trial) {
  std::vector<std::string> broken;
  const bool power_off = trial.fault.kind == Fault::Kind::kPowerOff;
  // A power cut at a call the run never made is a clean run.
  const bool cut = power_off && trial.first.status == 5;
  // A page left without a way on, as its steps prescribe: kepla stops it, as the user would
  // reset the device, and the next run must cope with what it left.
  const bool stuck = LeftStuck(trial);
  if (!stuck) CheckEnd("the run", trial.first, cut, &broken);
  if (cut && !trial.first.power_off) {
    broken.push_back("the run: exit 5, and the transcript's exit record does not say powerOff");
  }
  if (!trial.package_intact_first) broken.push_back("the run: the package changed");
  if (!cut && !stuck) CheckCard("the run", trial.first, trial.after_first, trial.fault, &broken);
  if (trial.second) {
    CheckEnd("the next run", *trial.second, false, &broken);
    if (!trial.package_intact_second) broken.push_back("the next run: the package changed");
    CheckCard("the next run", *trial.second, trial.after_second, Fault{}, &broken);
  }
  return broken;
}

bool CanFail(const std::string& call) {
  const wce::CallInfo* info = wce::FindCall(call);
  return info != nullptr && info->can_fail;
}

std::vector<unsigned> ErrorsToldApart(const std::string& call) {
  // A cut module path comes with ERROR_INSUFFICIENT_BUFFER, which the program looks for.
  if (call == "GetModuleFileNameW") return {ERROR_INSUFFICIENT_BUFFER};
  return {};
}

}  // namespace kepla_test::sweep
