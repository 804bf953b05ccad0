// The call sweep as a test: every rerun must keep the rules (call_sweep.h), and
// docs/reliability.md must hold the sweep's section. With KEPLA_WRITE_SWEEP=1 the section is
// written from this sweep's counts (scripts/sweep.sh).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include "scenario/call_sweep.h"
#include "scenario/doc_section.h"

namespace kepla_test::sweep {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif
#else
constexpr bool kThreadSanitizer = false;
#endif

bool Recorded(const Run& run, const std::string& call) {
  for (const CallRecord& record : run.calls) {
    if (record.call == call) return true;
  }
  return false;
}

// What each scenario's clean run must do, so that its reruns fail something that matters.
void ExpectScenarioRan(const Scenario& scenario, const Trial& clean) {
  const Run& run = clean.first;
  switch (scenario.ends) {
    case Scenario::Ends::kPrepared:
      EXPECT_TRUE(run.finish_shown) << scenario.name;
      EXPECT_TRUE(clean.after_first.image && clean.after_first.identical) << scenario.name;
      break;
    case Scenario::Ends::kImageRemoved:
      EXPECT_EQ(run.status, 0) << scenario.name << ": " << run.err;
      EXPECT_FALSE(clean.after_first.image) << scenario.name;
      break;
    case Scenario::Ends::kCopyClosed:
      EXPECT_EQ(run.status, 0) << scenario.name << ": " << run.err;
      EXPECT_TRUE(Recorded(run, "SendMessageW")) << scenario.name << ": no running copy found";
      break;
    case Scenario::Ends::kRefused:
      EXPECT_EQ(run.boxes.size(), 1u) << scenario.name;
      EXPECT_FALSE(clean.after_first.image) << scenario.name;
      break;
  }
  EXPECT_FALSE(run.calls.empty()) << scenario.name << ": nothing recorded";
}

bool Reached(const Trial& trial) {
  if (trial.fault.kind == Fault::Kind::kPowerOff) return trial.first.status == 5;
  for (const CallRecord& record : trial.first.calls) {
    if (record.call == trial.fault.call && record.nth == trial.fault.nth) return true;
  }
  return false;
}

std::string Describe(const Trial& trial) {
  const Fault& f = trial.fault;
  std::string text = trial.scenario.name + ", " +
                     (f.kind == Fault::Kind::kCallFails ? "callFails " : "powerOff ") + f.call +
                     " #" + std::to_string(f.nth);
  if (f.error) text += " (error " + std::to_string(*f.error) + ")";
  return text;
}

// The trials of `faults`, in their order. They run two at a time, each its own kepla processes
// on its own device, but for a scenario with a running copy of the wizard: that copy runs on the
// one device this process can boot.
std::vector<Trial> RunTrials(const Scenario& scenario, const std::vector<Fault>& faults) {
  std::vector<Trial> trials(faults.size());
  const std::size_t lanes = scenario.running_copy ? 1 : 2;
  std::vector<std::thread> threads;
  for (std::size_t lane = 1; lane < lanes; ++lane) {
    threads.emplace_back([&, lane] {
      for (std::size_t i = lane; i < faults.size(); i += lanes) {
        trials[i] = RunTrial(scenario, faults[i]);
      }
    });
  }
  for (std::size_t i = 0; i < faults.size(); i += lanes) trials[i] = RunTrial(scenario, faults[i]);
  for (std::thread& thread : threads) thread.join();
  return trials;
}

TEST(CallSweep, EveryFailingCallAndPowerCutKeepsThePackageAndTheCard) {
  const auto started = std::chrono::steady_clock::now();
  SweepCounts counts;
  for (const Scenario& scenario : Scenarios()) {
    SCOPED_TRACE(scenario.name);
    ScenarioCounts tally;
    tally.name = scenario.name;
    const Trial clean = RunTrial(scenario, Fault{});
    ExpectScenarioRan(scenario, clean);
    tally.runs += clean.kepla_runs;
    tally.device_ms += clean.device_ms;
    for (const std::string& broken : clean.broken) {
      ADD_FAILURE() << scenario.name << ", no fault: " << broken;
      counts.failures.push_back(scenario.name + ", no fault: " + broken);
    }

    std::set<std::string> functions;
    std::vector<Fault> faults;
    for (const CallRecord& call : clean.first.calls) {
      functions.insert(call.call);
      if (!CanFail(call.call)) continue;
      const int index = tally.can_fail++;
      if (kThreadSanitizer || (kSanitized && index % kSanitizerStride != 0)) continue;
      faults.push_back(Fault{Fault::Kind::kCallFails, call.call, call.nth, std::nullopt});
      for (unsigned error : ErrorsToldApart(call.call)) {
        faults.push_back(Fault{Fault::Kind::kCallFails, call.call, call.nth, error});
      }
      faults.push_back(Fault{Fault::Kind::kPowerOff, call.call, call.nth, std::nullopt});
    }
    tally.calls = static_cast<int>(clean.first.calls.size());
    tally.functions = static_cast<int>(functions.size());

    for (const Trial& trial : RunTrials(scenario, faults)) {
      const Fault& fault = trial.fault;
      (fault.kind == Fault::Kind::kCallFails ? tally.call_fails : tally.power_offs)++;
      if (!Reached(trial)) ++tally.not_reached;
      if (LeftStuck(trial)) ++tally.stuck;
      tally.runs += trial.kepla_runs;
      tally.device_ms += trial.device_ms;
      if (!trial.broken.empty()) ++tally.broken;
      for (const std::string& broken : trial.broken) {
        ADD_FAILURE() << Describe(trial) << ": " << broken;
        counts.failures.push_back(Describe(trial) + ": " + broken);
      }
    }
    counts.scenarios.push_back(tally);
  }
  counts.real_seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  const std::filesystem::path file =
      std::filesystem::path(KEPLA_SOURCE_DIR) / "docs" / "reliability.md";
  std::ifstream in(file, std::ios::binary);
  const std::string committed((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
  in.close();
  const char* write = std::getenv("KEPLA_WRITE_SWEEP");
  if (write != nullptr && std::string(write) == "1") {
    ASSERT_FALSE(kSanitized) << "the section gives the whole sweep: write it from the normal "
                                "preset";
    std::ofstream(file, std::ios::binary)
        << WithSweepSection(committed, RenderSweepSection(counts));
    return;
  }
  EXPECT_NE(SweepSection(committed), "")
      << file.string() << " has no call sweep section: run scripts/sweep.sh";
}

}  // namespace
}  // namespace kepla_test::sweep
