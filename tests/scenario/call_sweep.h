// The call sweep: each scenario runs kepla with --calls on a fresh device (virtual clock); then
// every recorded call that can fail is made to fail in a rerun of its own, and the device loses
// power just before it in another, which a clean run on the same device follows. Every run is
// checked against the rules below (Broken). call_sweep_test.cc runs the sweep and writes its
// section of docs/reliability.md.
#ifndef KEPLA_TESTS_SCENARIO_CALL_SWEEP_H_
#define KEPLA_TESTS_SCENARIO_CALL_SWEEP_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kepla_test::sweep {

// The package of every scenario: an image of a first block, three whole chunks and a tail.
inline constexpr std::uint64_t kImageBytes = 2048 + 3 * 32767 + 1000;
// Device seconds kepla waits for each action and for the end (--timeout): a bound that the
// longest run (settle phase, watchdog, abandoned worker) stays far below.
inline constexpr int kTimeoutSeconds = 120;
// Builds with sanitizers run a sample: every kSanitizerStride-th rerun of each scenario.
inline constexpr int kSanitizerStride = 6;

struct Scenario {
  // How the scenario's run ends when nothing fails.
  enum class Ends { kPrepared, kImageRemoved, kCopyClosed, kRefused };
  std::string name;
  Ends ends = Ends::kPrepared;
  std::vector<std::string> script;        // what the user presses when nothing fails
  std::vector<std::string> program_args;  // after --
  bool image_first = false;               // a prepared image lies on the card before the run
  bool running_copy = false;              // a copy of the wizard runs on the device meanwhile
  int battery_percent = 100;
};

std::vector<Scenario> Scenarios();

struct Fault {
  enum class Kind { kNone, kCallFails, kPowerOff };
  Kind kind = Kind::kNone;
  std::string call;
  int nth = 0;
  std::optional<unsigned> error;  // callFails: the last error; none for the call's default
};

struct CallRecord {
  std::string call;
  int nth = 0;
  std::string thread;
  std::string file;
};

// One kepla run, as its exit status, streams, transcript and call record tell it.
struct Run {
  int status = -1;  // -1: killed by a signal or at the real-time deadline
  bool timed_out = false;
  std::string err;
  std::string script;              // the script it ran, as given to --script
  bool exit_record = false;        // the transcript has its exit record
  bool power_off = false;          // ... saying the device lost power
  std::uint64_t device_ms = 0;     // device time at the end
  bool finish_shown = false;       // the Finish page was on the screen
  std::vector<std::string> boxes;  // the message boxes' texts
  std::string offered;             // what the last screen offered a user going on: left, ok...
  std::vector<CallRecord> calls;
};

// What the card holds in the image's place after a run.
struct Card {
  bool image = false;
  std::uint64_t bytes = 0;
  bool identical = false;  // byte-identical to what kepla-pkg extracts from the package
  bool hidden = false;
};

// One rerun: the faulty run, and after a power cut the clean run on the same device.
struct Trial {
  Scenario scenario;
  Fault fault;
  Run first;
  Card after_first;
  bool package_intact_first = true;
  std::optional<Run> second;
  Card after_second;
  bool package_intact_second = true;
  int attempts = 0;             // runs of the scenario it took to find what the user had to press
  int kepla_runs = 0;           // kepla processes, over all attempts
  std::uint64_t device_ms = 0;  // their device time
  std::vector<std::string> broken;  // the rules it broke, in words
};

// Runs `scenario` with `fault` on a fresh device in `scratch`, as a user who goes on (Next,
// OK, Close), and checks every rule. kepla runs headless from a script; when a run needs other
// presses than the script's (a message box came), the scenario is run again, from a fresh
// device, with the presses the screen asked for.
Trial RunTrial(const Scenario& scenario, const Fault& fault);

// Whether a failure of `call` may leave a page on the screen with no way on, as the pages' steps
// prescribe (the result of making the menu bar is ignored, the page pointer is stored without a
// check, and so is the end of a dialog).
bool Strands(const std::string& call);
// Whether the trial's run was left on such a page (kepla stopped it; a clean run followed).
bool LeftStuck(const Trial& trial);

// The rules a trial broke (empty when it kept them all).
std::vector<std::string> Broken(const Trial& trial);

// Whether the platform function `call` can fail (and so can be made to fail).
bool CanFail(const std::string& call);
// Last errors, besides the call's default, that the program tells apart after `call` (each gets
// a rerun of its own).
std::vector<unsigned> ErrorsToldApart(const std::string& call);

// The counts of the sweep, for docs/reliability.md.
struct ScenarioCounts {
  std::string name;
  int calls = 0;        // calls the scenario's clean run recorded
  int functions = 0;    // distinct functions among them
  int can_fail = 0;     // recorded calls of functions that can fail
  int call_fails = 0;   // callFails reruns
  int power_offs = 0;   // powerOff reruns (each with its clean run after)
  int not_reached = 0;  // reruns whose fault found no such call (the run went otherwise)
  int stuck = 0;        // reruns left on a page with no way on (Strands)
  int broken = 0;       // reruns that broke a rule
  std::uint64_t device_ms = 0;
  int runs = 0;  // kepla processes
};

struct SweepCounts {
  std::vector<ScenarioCounts> scenarios;
  std::vector<std::string> failures;  // one line per broken rule
  double real_seconds = 0;
};

// The sweep's section of docs/reliability.md, with its markers.
std::string RenderSweepSection(const SweepCounts& counts);

}  // namespace kepla_test::sweep

#endif  // KEPLA_TESTS_SCENARIO_CALL_SWEEP_H_
