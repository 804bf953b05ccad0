// Shared set-up of the whole-program scenarios: a device on which the wizard can go all the way,
// the program's WinMain run as a process of its own, and what the scenarios read back from the
// card and the screen.
#ifndef KEPLA_TESTS_SCENARIO_SCENARIO_FIXTURE_H_
#define KEPLA_TESTS_SCENARIO_SCENARIO_FIXTURE_H_

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <wince/automation.h>
#include "support/program_fixture.h"

namespace kepla_test {

// Every exit of a wizard run, whatever the pages returned.
inline constexpr int kWizardRan = 16;
// The device path of the package that ScenarioTest puts beside the program.
inline constexpr char16_t kPackageDevicePath[] = u"\\Storage Card\\Upgrade\\fw.bin";
inline constexpr char16_t kImageDevicePath[] = u"\\Storage Card\\407_QMR_SD.bin";

inline constexpr char16_t kPreparingText[] = u"Preparing data, please wait\u2026";
inline constexpr char16_t kPreparationFailedText[] =
    u"Data preparation failed. Format your storage card then try again.";

// Records what the program reported through automation while it ran: progress-bar positions and
// message boxes, each with its device time. Filled on the program's threads.
class ScreenRecorder : public wce::AutomationObserver {
 public:
  struct Progress {
    std::uint64_t time_ms;
    int control_id;
    int pos;
  };
  struct Box {
    std::uint64_t time_ms;
    wce::MessageBoxSnapshot box;
  };

  void OnProgress(std::uint64_t time_ms, int control_id, int pos) override;
  void OnMessageBox(std::uint64_t time_ms, const wce::MessageBoxSnapshot& box) override;

  std::vector<Progress> progress();
  std::vector<Box> boxes();

 private:
  std::mutex mu_;
  std::vector<Progress> progress_;
  std::vector<Box> boxes_;
};

class ScenarioTest : public ProgramFixture {
 protected:
  // Boots a device on which every pre-flight check passes (1 GiB free unless the profile names
  // the card) with a matching package of an `imageBytes` image beside the program.
  void BootReady(wce::DeviceProfile profile = {}, std::size_t imageBytes = 4096,
                 bool publish = false);
  // Removes the recorder (if any) before the device goes.
  void TearDown() override;

  // Starts WinMain with `commandLine` as the device's program, released afterwards as at process
  // exit.
  void StartWizard(std::u16string commandLine = u"");
  // From a started wizard: Next on the Welcome page, then Next on the Prepare page. Returns the
  // device time of the second press, or nullopt (failing the test) when a page did not come.
  std::optional<std::uint64_t> StartPreparation();

  // Installs a recorder of progress and message boxes for the rest of the test.
  ScreenRecorder& Record();

  // The prepared image on the card: present, its bytes, its attributes as the device reports.
  bool ImageExists() const;
  std::string ImageBytes() const;
  DWORD ImageAttributes() const;
  // What the package tool extracts from the package now beside the program.
  std::string ExtractedImage() const;

  // A fault on the package file (see FaultSpec).
  static wce::FaultSpec PackageFault(wce::FaultSpec::Kind kind, std::uint64_t offset,
                                     std::uint32_t ms = 0);

 private:
  std::optional<ScreenRecorder> recorder_;
};

}  // namespace kepla_test

#endif  // KEPLA_TESTS_SCENARIO_SCENARIO_FIXTURE_H_
