#include "scenario/scenario_fixture.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "res/resource.h"
#include "tools/package_file.h"

namespace kepla_test {

void ScreenRecorder::OnProgress(std::uint64_t time_ms, int control_id, int pos) {
  std::lock_guard<std::mutex> lock(mu_);
  progress_.push_back(Progress{time_ms, control_id, pos});
}

void ScreenRecorder::OnMessageBox(std::uint64_t time_ms, const wce::MessageBoxSnapshot& box) {
  std::lock_guard<std::mutex> lock(mu_);
  boxes_.push_back(Box{time_ms, box});
}

std::vector<ScreenRecorder::Progress> ScreenRecorder::progress() {
  std::lock_guard<std::mutex> lock(mu_);
  return progress_;
}

std::vector<ScreenRecorder::Box> ScreenRecorder::boxes() {
  std::lock_guard<std::mutex> lock(mu_);
  return boxes_;
}

void ScenarioTest::BootReady(wce::DeviceProfile profile, std::size_t imageBytes, bool publish) {
  if (profile.cards.empty()) SetFreeSpace(&profile, std::uint64_t{1} << 30);
  WritePackage(MatchingFields(), imageBytes);
  Boot(std::move(profile), publish);
}

void ScenarioTest::TearDown() {
  if (recorder_) automation().SetObserver(nullptr);
  ProgramFixture::TearDown();
}

void ScenarioTest::StartWizard(std::u16string commandLine) {
  StartProgram(&ProgramProcess, std::move(commandLine));
}

std::optional<std::uint64_t> ScenarioTest::StartPreparation() {
  WaitForTemplate(IDD_WELCOME);
  if (!Press(0)) {
    ADD_FAILURE() << "Next was not offered on the Welcome page";
    return std::nullopt;
  }
  WaitForTemplate(IDD_PREPARE);
  if (!Press(0)) {
    ADD_FAILURE() << "Next was not offered on the Prepare page";
    return std::nullopt;
  }
  return Now();
}

ScreenRecorder& ScenarioTest::Record() {
  if (!recorder_) {
    recorder_.emplace();
    automation().SetObserver(&*recorder_);
  }
  return *recorder_;
}

bool ScenarioTest::ImageExists() const { return std::filesystem::exists(HostPath(kImagePath)); }

std::string ScenarioTest::ImageBytes() const {
  std::ifstream in(HostPath(kImagePath), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

DWORD ScenarioTest::ImageAttributes() const { return GetFileAttributesW(kImageDevicePath); }

std::string ScenarioTest::ExtractedImage() const {
  const std::filesystem::path out = HostPath("..") / "expected-image.bin";
  std::string error;
  if (!kepla::pkg::ExtractImage(HostPath(kPackagePath), out, &error)) {
    ADD_FAILURE() << error;
    return {};
  }
  std::ifstream in(out, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

wce::FaultSpec ScenarioTest::PackageFault(wce::FaultSpec::Kind kind, std::uint64_t offset,
                                          std::uint32_t ms) {
  wce::FaultSpec fault;
  fault.kind = kind;
  fault.file = kPackageDevicePath;
  fault.offset = offset;
  fault.ms = ms;
  return fault;
}

}  // namespace kepla_test
