// The rows of the fault matrix: each fault at the moments that matter for it.
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "res/resource.h"
#include "scenario/fault_matrix.h"
#include "support/scratch_dir.h"

namespace kepla_test::matrix {
namespace {

using Kind = wce::FaultSpec::Kind;
namespace fs = std::filesystem;

// Below the watchdog's 5000 ms: holds the worker at a moment without ending it.
constexpr std::uint32_t kHoldMs = 3000;
// Far past the watchdog.
constexpr std::uint32_t kStallMs = 60000;
// Device time from Next on the Prepare page to the moments without a hold of their own.
constexpr std::uint32_t kInTheSettlePhaseMs = 2000;    // the settle lasts about 11 s
constexpr std::uint32_t kInTheVerificationMs = 12000;  // it starts after the settle
constexpr std::uint32_t kDuringAHoldMs = 1000;

const wce::ClockSpec kVirtual{wce::ClockMode::kVirtual, 1.0};
// A thousand times slower than real time: a program of another process stays at its moment
// (a 4-second hold lasts over an hour) while this one looks on.
const wce::ClockSpec kCrawling{wce::ClockMode::kScaled, 0.001};

std::string ExitText(const std::optional<int>& code) {
  return code ? std::to_string(*code) : "did not end";
}

// The wizard run with the profile as the row set it.
Outcome Wizard(Phone& phone, bool publish = false,
               const std::function<void()>& at_preparation = {}) {
  phone.BootRecorded(publish);
  return phone.Observe(ExitText(phone.RunWizard(at_preparation)));
}

std::function<Outcome(Phone&)> WithFaults(std::vector<wce::FaultSpec> faults) {
  return [faults](Phone& phone) {
    phone.profile().faults = faults;
    return Wizard(phone);
  };
}

std::function<Outcome(Phone&)> WithProfile(std::function<void(wce::DeviceProfile&)> change) {
  return [change](Phone& phone) {
    change(phone.profile());
    return Wizard(phone);
  };
}

// What another program did, from its exit and (for a wizard) its transcript.
std::string OtherRun(const std::string& who, const ProcessResult& run,
                     const fs::path& transcript = {}) {
  std::string text = who;
  if (!transcript.empty()) {
    std::ifstream in(transcript);
    std::string line;
    std::vector<std::string> seen;
    while (std::getline(in, line)) {
      const nlohmann::json entry = nlohmann::json::parse(line, nullptr, false);
      if (!entry.is_object()) continue;
      if (entry["type"] == "messagebox") {
        seen.push_back("\"" + entry["text"].get<std::string>() + "\"");
      }
      if (entry["type"] == "screen" && (entry["template"] == IDD_FINISH) &&
          (seen.empty() || seen.back() != "the Finish page")) {
        seen.push_back("the Finish page");
      }
    }
    for (std::size_t i = 0; i < seen.size(); ++i)
      text += (i == 0 ? " showed " : ", then ") + seen[i];
  }
  // Its script does not know which screen comes: 3 means that it stopped waiting on the last.
  if (run.status == 3) return text + " (and was stopped there)";
  return text + ", exit " + (run.status >= 0 ? std::to_string(run.status) : "abnormal");
}

// Waits (real time: another process writes) until the image on the card has `bytes`.
bool WaitForImageBytes(Phone& phone, std::uint64_t bytes) {
  const fs::path image = phone.HostPath(ProgramDevice::kImagePath);
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  std::error_code ec;
  while (!(fs::exists(image, ec) && fs::file_size(image, ec) == bytes)) {
    if (std::chrono::steady_clock::now() >= limit) {
      ADD_FAILURE() << "the image never had " << bytes << " bytes";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));  // another process's progress
  }
  return true;
}

// Holds the worker with `hold` (if any), then `delay_ms` of device time after Next on the Prepare
// page lets another program act on the device.
std::function<Outcome(Phone&)> Interrupted(std::vector<wce::FaultSpec> hold, std::uint32_t delay_ms,
                                           bool publish, std::function<std::string(Phone&)> act) {
  return [=](Phone& phone) {
    phone.profile().faults = hold;
    wce::DeviceProfile others = phone.profile();
    others.faults.clear();
    phone.WriteDeviceJson(others, kVirtual);
    std::string then;
    Outcome outcome = Wizard(phone, publish, [&] {
      phone.automation().WaitFor(delay_ms);
      then = act(phone);
    });
    outcome.then = then;
    return outcome;
  };
}

std::string Abort(Phone& phone) {
  const ProcessResult signal =
      phone.Other("kepla-device", {"signal", phone.folder().string(), "UNPACK_DATA_ABORT"});
  EXPECT_EQ(signal.status, 0) << signal.err;
  return "";
}

std::string Uninstall(Phone& phone) {
  return OtherRun("\"uninstall\" in another process",
                  phone.Other("kepla", {"--device", phone.folder().string(), "--", "uninstall"}));
}

std::string SecondCopy(Phone& phone) {
  // kepla writes no transcript into the device folder.
  const kepla_test::ScratchDir outside;
  const fs::path transcript = outside / "second-copy.jsonl";
  const ProcessResult run =
      phone.Other("kepla", {"--device", phone.folder().string(), "--script", "left,left,ok",
                            "--timeout", "60", "--transcript", transcript.string()});
  return OtherRun("the second copy", run, transcript);
}

// The program started again on the same device with nothing wrong, and cancelled on its Welcome
// page; what that leaves is the row's "afterwards".
void NextRun(Phone& phone, Outcome* outcome, const std::string& before) {
  Image found = Image::kNone;
  phone.DescribeCard(&found);
  outcome->damaged_before_next_run = found == Image::kDamaged;
  phone.Shutdown();
  phone.profile().faults.clear();
  phone.ForgetRecord();
  phone.BootRecorded(/*publish=*/true);
  phone.StartProgram(&ProgramProcess, u"");
  phone.WaitForTemplate(IDD_WELCOME);
  EXPECT_TRUE(phone.Press(1));
  const std::optional<int> code = phone.FinishProgram();
  outcome->card = phone.DescribeCard(&outcome->image);
  outcome->package_intact = outcome->package_intact && phone.PackageIntact();
  outcome->then = before + "; the next run (cancelled on its Welcome page, exit " + ExitText(code) +
                  ") found it and deleted it at its start";
}

std::function<Outcome(Phone&)> CardRemoved(std::uint64_t bytes) {
  return [bytes](Phone& phone) {
    phone.profile().faults = {Phone::CardFault(Kind::kCardRemoved, bytes)};
    Outcome outcome = Wizard(phone);
    NextRun(phone, &outcome, "while out, the card held " + outcome.card);
    return outcome;
  };
}

// The program runs in another process on a crawling clock, held at the moment by `hold`; once the
// image has `image_bytes`, that process is killed (SIGKILL), and the program is started again.
std::function<Outcome(Phone&)> Killed(std::vector<wce::FaultSpec> hold, std::uint64_t image_bytes) {
  return [=](Phone& phone) {
    wce::DeviceProfile profile = phone.profile();
    profile.faults = hold;
    phone.WriteDeviceJson(profile, kCrawling);
    Outcome outcome;
    {
      SimProcess run(
          SimProgram("kepla"),
          {"--device", phone.folder().string(), "--script", "left,left", "--timeout", "86400"},
          phone.folder());
      WaitForImageBytes(phone, image_bytes);
      run.Kill();
      run.Wait();
    }
    outcome.pages = "(killed)";
    outcome.exit = "killed";
    const std::string left = phone.DescribeCard(&outcome.image);
    NextRun(phone, &outcome, "the killed process left " + left);
    return outcome;
  };
}

// The first copy runs here and reaches its settle phase; a second copy, in another process on a
// crawling clock, starts then, goes through its pages and is held in the middle of its own copy
// (a readStall of 2 s of real time) while the first settles and verifies. Once the second has
// written the whole image it is killed in its settle phase (its clock would take hours to end it;
// its check of the size would pass, whatever the bytes), and the program is started again.
Outcome SecondCopyWhileTheFirstVerifies(Phone& phone) {
  wce::DeviceProfile second = phone.profile();
  // Two device milliseconds: two seconds of real time, for the first copy to finish meanwhile.
  second.faults = {Phone::PackageFault(Kind::kReadStall, kMidCopy, 2)};
  phone.WriteDeviceJson(second, kCrawling);
  std::unique_ptr<SimProcess> run;
  Outcome outcome = Wizard(phone, /*publish=*/true, [&] {
    phone.automation().WaitFor(kInTheSettlePhaseMs);
    run = std::make_unique<SimProcess>(
        SimProgram("kepla"),
        std::vector<std::string>{"--device", phone.folder().string(), "--script", "left,left",
                                 "--timeout", "86400"},
        phone.folder());
    WaitForImageBytes(phone, 2048 + 32767);
  });
  if (run) {
    WaitForImageBytes(phone, kImageBytes);
    run->Kill();
    run->Wait();
  }
  Image left = Image::kNone;
  const std::string card = phone.DescribeCard(&left);
  NextRun(
      phone, &outcome,
      "the second copy, killed in its settle phase once it had written the image, left " + card);
  return outcome;
}

Row MakeRow(std::string fault, std::string moment, std::string how,
            std::function<Outcome(Phone&)> run, bool watchdog = false) {
  return Row{std::move(fault), std::move(moment), std::move(how), watchdog, std::move(run)};
}

}  // namespace

std::vector<Row> Rows() {
  const auto stall = [](std::uint64_t offset, std::uint32_t ms) {
    return std::vector<wce::FaultSpec>{Phone::PackageFault(Kind::kReadStall, offset, ms)};
  };
  const auto open_stall = [](int skip, std::uint32_t ms) {
    return std::vector<wce::FaultSpec>{Phone::OpenStall(skip, ms)};
  };
  std::vector<Row> rows;
  auto add = [&rows](Row row) { rows.push_back(std::move(row)); };

  const struct {
    const char* moment;
    std::uint64_t offset;
  } copy_moments[] = {{"first block", kInFirstBlock}, {"mid-copy", kMidCopy}, {"tail", kInTail}};

  add(MakeRow("Read error", "before the copy", "readError in the package's trailer",
              WithFaults({Phone::PackageFault(Kind::kReadError, kInTrailer)})));
  for (const auto& m : copy_moments) {
    add(MakeRow("Read error", m.moment, "readError at package byte " + std::to_string(m.offset),
                WithFaults({Phone::PackageFault(Kind::kReadError, m.offset)})));
  }
  for (const auto& m : copy_moments) {
    add(MakeRow("Write error", m.moment, "writeError at image byte " + std::to_string(m.offset),
                WithFaults({Phone::ImageFault(Kind::kWriteError, m.offset)})));
  }
  add(MakeRow("Disk full", "before the copy", "diskFull with 0 bytes left",
              WithFaults({Phone::CardFault(Kind::kDiskFull, 0)})));
  add(MakeRow(
      "Disk full", "mid-copy",
      "diskFull after 200 MiB + 100,000 bytes, image of 200 MiB + 300,000 bytes", [](Phone& phone) {
        phone.profile().faults = {Phone::CardFault(Kind::kDiskFull, (200ull << 20) + 100000)};
        return Wizard(phone);
      }));
  add(MakeRow("Short read", "before the copy", "shortRead in the package's trailer",
              WithFaults({Phone::PackageFault(Kind::kShortRead, kInTrailer)})));
  for (const auto& m : copy_moments) {
    add(MakeRow("Short read", m.moment, "shortRead at package byte " + std::to_string(m.offset),
                WithFaults({Phone::PackageFault(Kind::kShortRead, m.offset)})));
  }
  add(MakeRow("Stall past the watchdog", "before the copy",
              "openStall of 60 s on the copy's open of the package (its 2nd open)",
              WithFaults(open_stall(1, kStallMs)), /*watchdog=*/true));
  for (const auto& m : copy_moments) {
    add(MakeRow("Stall past the watchdog", m.moment,
                "readStall of 60 s at package byte " + std::to_string(m.offset),
                WithFaults(stall(m.offset, kStallMs)), /*watchdog=*/true));
  }
  add(MakeRow("Stall past the watchdog", "verification",
              "openStall of 60 s on the verification's open of the package (its 3rd open)",
              WithFaults(open_stall(2, kStallMs)), /*watchdog=*/true));
  add(MakeRow("Thread creation fails", "before the copy", "threadCreateFails, count 1",
              [](Phone& phone) {
                wce::FaultSpec fault;
                fault.kind = Kind::kThreadCreate;
                phone.profile().faults = {fault};
                return Wizard(phone);
              }));

  add(MakeRow("Abort event from another process", "before the copy",
              "kepla-device signal, 1 s into a 3 s openStall of the package",
              Interrupted(open_stall(1, kHoldMs), kDuringAHoldMs, true, Abort)));
  for (const auto& m : copy_moments) {
    add(MakeRow(
        "Abort event from another process", m.moment,
        "kepla-device signal, 1 s into a 3 s readStall at package byte " + std::to_string(m.offset),
        Interrupted(stall(m.offset, kHoldMs), kDuringAHoldMs, true, Abort)));
  }
  add(MakeRow("Abort event from another process", "settle phase",
              "kepla-device signal 2 s after Next",
              Interrupted({}, kInTheSettlePhaseMs, true, Abort)));
  add(MakeRow("Abort event from another process", "verification",
              "kepla-device signal 12 s after Next, in a 3 s openStall of the verification",
              Interrupted(open_stall(2, kHoldMs), kInTheVerificationMs, true, Abort)));

  add(MakeRow("Identity query fails", "before the copy", "identity.answers false",
              WithProfile([](wce::DeviceProfile& p) { p.identity_answers = false; })));
  add(MakeRow("Battery query fails", "before the copy", "battery.fails true",
              WithProfile([](wce::DeviceProfile& p) { p.battery_fails = true; })));
  add(MakeRow("Memory query fails", "before the copy", "memory.fails true",
              WithProfile([](wce::DeviceProfile& p) { p.memory_fails = true; })));

  add(MakeRow("Card removed", "first block", "cardRemoved after 1,000 bytes",
              CardRemoved(kInFirstBlock)));
  add(MakeRow("Card removed", "mid-copy",
              "cardRemoved after " + std::to_string(kMidCopy) + " bytes", CardRemoved(kMidCopy)));
  add(MakeRow("Card removed", "tail", "cardRemoved after " + std::to_string(kInTail) + " bytes",
              CardRemoved(kInTail)));

  add(MakeRow("Process killed, then the next run", "first block",
              "SIGKILL in a 4 s readStall at package byte 1000",
              Killed(stall(kInFirstBlock, 4000), 0)));
  add(MakeRow("Process killed, then the next run", "mid-copy",
              "SIGKILL in a 4 s readStall at package byte " + std::to_string(kMidCopy),
              Killed(stall(kMidCopy, 4000), 2048 + 32767)));
  add(MakeRow("Process killed, then the next run", "tail",
              "SIGKILL in a 4 s readStall at package byte " + std::to_string(kInTail),
              Killed(stall(kInTail, 4000), 2048 + 3 * 32767)));
  add(MakeRow("Process killed, then the next run", "settle phase",
              "SIGKILL once the whole image is written", Killed({}, kImageBytes)));

  add(MakeRow("Two copies at once", "mid-copy",
              "a second kepla started 1 s into a 3 s readStall of the first",
              Interrupted(stall(kMidCopy, kHoldMs), kDuringAHoldMs, true, SecondCopy)));
  add(MakeRow("Two copies at once", "settle phase", "a second kepla started 2 s after Next",
              Interrupted({}, kInTheSettlePhaseMs, true, SecondCopy)));
  add(MakeRow("Two copies at once", "verification",
              "a second kepla started in the first's settle phase, held in its own copy while "
              "the first verifies",
              SecondCopyWhileTheFirstVerifies));
  add(MakeRow("Two copies at once", "mid-copy, unseen",
              "as mid-copy, but neither copy sees the other's window (both looked before "
              "either had one)",
              Interrupted(stall(kMidCopy, kHoldMs), kDuringAHoldMs, false, SecondCopy)));

  add(MakeRow("uninstall during the preparation", "before the copy",
              "kepla -- uninstall, 1 s into a 3 s openStall of the package",
              Interrupted(open_stall(1, kHoldMs), kDuringAHoldMs, true, Uninstall)));
  add(MakeRow(
      "uninstall during the preparation", "mid-copy",
      "kepla -- uninstall, 1 s into a 3 s readStall at package byte " + std::to_string(kMidCopy),
      Interrupted(stall(kMidCopy, kHoldMs), kDuringAHoldMs, true, Uninstall)));
  add(MakeRow("uninstall during the preparation", "settle phase",
              "kepla -- uninstall 2 s after Next",
              Interrupted({}, kInTheSettlePhaseMs, true, Uninstall)));
  add(MakeRow("uninstall during the preparation", "verification",
              "kepla -- uninstall 12 s after Next, in a 3 s openStall of the verification",
              Interrupted(open_stall(2, kHoldMs), kInTheVerificationMs, true, Uninstall)));
  return rows;
}

std::vector<std::pair<std::string, std::string>> WhyTheseMoments() {
  return {
      {"Read error",
       "Reads happen when the Welcome page reads the trailer and while the copy reads the package; "
       "the settle phase and the verification read nothing. \"Before the copy\" is the trailer, "
       "which the Welcome page reads first: a bad trailer is refused there."},
      {"Write error",
       "Only the copy writes; there is nothing to write before it, in the settle phase or in the "
       "verification."},
      {"Disk full",
       "The Welcome page refuses a card with less than 200 MiB free, and a full card reports no "
       "more free space than it still takes: a card can only fill up during the copy of an image "
       "larger than 200 MiB, and then only past its first 200 MiB. The first block and the tail "
       "of such a copy cannot meet it; the tail writes as the rest of the copy does."},
      {"Short read",
       "As for read errors. A short read fires once, on the first read that reaches its byte."},
      {"Stall past the watchdog",
       "The worker is stuck for a minute, in an open (before the copy: the copy's open of the "
       "package, after it has made the image; in the verification: the verification's open of "
       "the package, while it holds the image) or in a read. The settle phase keeps the watchdog "
       "fed and makes no file call that could stall."},
      {"Thread creation fails", "Only the start of the preparation makes a thread."},
      {"Abort event from another process",
       "The event exists only while the preparation runs, so every moment of it counts; the "
       "worker is held (3 s, below the watchdog) where it has to be when the event comes."},
      {"Identity query fails", "The identity is asked for once, when the program starts."},
      {"Battery query fails",
       "The battery is asked for once, when Next is pressed on the Welcome page."},
      {"Memory query fails",
       "The memory load is asked for once, when Next is pressed on the Welcome page. The call "
       "returns nothing, so a failure cannot be told: the zeroed status reads as 0 % load."},
      {"Card removed",
       "The card goes during a write (counted in bytes written to it), so the moments are those "
       "of the copy; once it is out, nothing on it can be reached. With the card back, the next "
       "start of the program deletes what the interrupted preparation left (the row's last "
       "column)."},
      {"Process killed, then the next run",
       "The process is killed (SIGKILL) while it runs on a clock a thousand times slower than "
       "real time, held at its moment. The verification takes no time of its own, so a kill "
       "there leaves what a kill in the settle phase leaves: the whole image, never verified. "
       "\"Afterwards\" is after the next run."},
      {"Two copies at once",
       "A second copy of the wizard (another kepla process on the same device) starts while the "
       "first prepares the image. Starting, it asks the first to close: the first's window goes "
       "(its page returns 0 and shows no message), its worker goes on. While the first copy "
       "reads the package, which it shares with nobody, the second cannot read the package's "
       "trailer and refuses the device as the wrong model. In the settle phase the package is "
       "free again: the second deletes the finished image (nobody holds it), prepares its own "
       "and the first then checks that one. In the verification row the second is held in its "
       "own copy while the first checks: the first cannot open the image and fails, but cannot "
       "cut what the second writes either, as an image being written is shared with no other "
       "writer. The last row is two copies that started at the same moment, so that neither "
       "found the other's window."},
      {"uninstall during the preparation",
       "\"uninstall\" closes the running copy's main window at each moment of the preparation; "
       "the worker goes on."},
  };
}

}  // namespace kepla_test::matrix
