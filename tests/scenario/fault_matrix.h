// The fault matrix: each row runs the whole program on a fresh device with one fault at one
// moment of the preparation, as a user who always goes on would, and records what that user saw
// and what the card holds afterwards. fault_matrix_test.cc runs the rows, checks the rule that
// no row loses the package or leaves a partial or unchecked image (the zero-length image a
// watchdog termination leaves aside) and writes docs/reliability.md from the results.
#ifndef KEPLA_TESTS_SCENARIO_FAULT_MATRIX_H_
#define KEPLA_TESTS_SCENARIO_FAULT_MATRIX_H_

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <wince/profile.h>
#include <wince/automation.h>
#include "support/program_device.h"
#include "support/sim_process.h"

namespace kepla_test::matrix {

// The package of most rows: a first block, three whole chunks of 32767 bytes and a tail of 1000,
// so that every part of the copy has bytes of its own.
inline constexpr std::uint64_t kImageBytes = 2048 + 3 * 32767 + 1000;
inline constexpr std::uint64_t kPackageBytes = kImageBytes + 512;
// Bytes of the package (and of the image: they share positions) inside each part of the copy.
inline constexpr std::uint64_t kInFirstBlock = 1000;
inline constexpr std::uint64_t kMidCopy = 2048 + 32767 + 100;     // the second chunk
inline constexpr std::uint64_t kInTail = 2048 + 3 * 32767 + 500;  // the tail
inline constexpr std::uint64_t kInTrailer = kPackageBytes - 100;
// A package whose image is more than the 200 MiB the free-space check asks for, so that a card
// can fill up during the copy after the check has passed. Sparse on the host.
inline constexpr std::uint64_t kLargeImageBytes = (200ull << 20) + 300000;

// What the card holds in the image's place.
enum class Image { kNone, kZeroLength, kComplete, kPartial, kDamaged };

struct Outcome {
  std::string pages;    // what each page returned, in order: "Welcome 1, Prepare 8"
  std::string message;  // the message boxes shown, quoted; empty for none
  std::string exit;     // the exit code, or how the program ended otherwise
  Image image = Image::kNone;
  std::string card;  // what the card holds afterwards, in words
  bool package_intact = true;
  bool told_failure = false;             // a message said the preparation failed
  std::string then;                      // what another program or the next run did; may be empty
  bool damaged_before_next_run = false;  // what the next run found was a damaged image
};

// The device of one row: the program's device (ProgramDevice) with the row's package, a record
// of the message boxes and page results, and other programs started on the same device folder.
class Phone : public ProgramDevice, public wce::AutomationObserver {
 public:
  explicit Phone(std::uint64_t image_bytes = kImageBytes);
  ~Phone() override;

  // The profile the next Boot uses: every pre-flight check passes (1 GiB free) unless a row
  // changes it. Rows add their faults here.
  wce::DeviceProfile& profile() { return profile_; }
  static wce::FaultSpec PackageFault(wce::FaultSpec::Kind kind, std::uint64_t offset,
                                     std::uint32_t ms = 0);
  static wce::FaultSpec ImageFault(wce::FaultSpec::Kind kind, std::uint64_t offset);
  static wce::FaultSpec OpenStall(int skip, std::uint32_t ms);
  static wce::FaultSpec CardFault(wce::FaultSpec::Kind kind, std::uint64_t bytes);

  // Boots profile() and records what the program reports.
  void BootRecorded(bool publish = false);
  // Runs the wizard as a user who goes on: Next on each page, OK on each message box, Close on
  // the Finish page, until the program ends; `at_preparation` runs once, just after Next on the
  // Prepare page. Returns the exit code (nullopt, failing the test, when it does not end).
  std::optional<int> RunWizard(const std::function<void()>& at_preparation = {},
                               const std::u16string& command_line = u"");

  // Another program on this device folder (it reads device.json, which this writes from
  // profile() less its faults): kepla or kepla-device with `args`, run to its end. This thread
  // counts as running meanwhile, so device time stands still here.
  ProcessResult Other(const std::string& program, const std::vector<std::string>& args);
  // Writes device.json for other programs: `profile` with the clock `clock`.
  void WriteDeviceJson(wce::DeviceProfile profile, wce::ClockSpec clock) const;

  // What the program showed, and what the card holds now, for the outcome of a run that ended
  // with `exit`.
  Outcome Observe(const std::string& exit);
  // What the card holds in the image's place, in words.
  std::string DescribeCard(Image* image);
  bool PackageIntact();

  // Forgets the message boxes and page results recorded so far (before a next run).
  void ForgetRecord();

  void OnMessageBox(std::uint64_t time_ms, const wce::MessageBoxSnapshot& box) override;
  void OnDialogEnded(std::uint64_t time_ms, int template_id, std::intptr_t result) override;

 private:
  std::uint64_t image_bytes_;
  std::uint64_t package_sum_ = 0;  // a checksum of the package as written
  wce::DeviceProfile profile_;
  std::mutex mu_;  // guards the record below (filled on the program's threads)
  std::vector<std::string> pages_;
  std::vector<std::string> messages_;
};

struct Row {
  std::string fault;
  std::string moment;
  std::string how;        // how the fault is made, for the reader
  bool watchdog = false;  // the watchdog ends the worker: a zero-length image is by design
  std::function<Outcome(Phone&)> run;
};

// The rows, in the order of the document.
std::vector<Row> Rows();
// For each fault of Rows(), in the same order: why these moments, and not the others.
std::vector<std::pair<std::string, std::string>> WhyTheseMoments();

// Why a row's outcome breaks the rule, or empty when it keeps it.
std::string RuleBroken(const Row& row, const Outcome& outcome);

// The whole of docs/reliability.md for `rows` and their outcomes.
std::string RenderReliabilityDoc(const std::vector<Row>& rows,
                                 const std::vector<Outcome>& outcomes);

}  // namespace kepla_test::matrix

#endif  // KEPLA_TESTS_SCENARIO_FAULT_MATRIX_H_
