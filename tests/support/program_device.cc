#include "support/program_device.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "res/embedded.h"
#include "sim/demo_package.h"

namespace kepla_test {

kepla::pkg::PackageFields MatchingFields() {
  return kepla::pkg::PackageFields{u"ENG", u"EUR,WWE,ASIA", u"QMR407", u"1.20.407.1",
                                   u"1.20.407 ENG WWE"};
}

void ProgramDevice::Boot(wce::DeviceProfile profile, bool publish) {
  ASSERT_EQ(device_, nullptr) << "booted twice";
  std::filesystem::create_directories(HostPath("Storage Card"));
  wce::DeviceOptions options;
  options.folder = folder_.path();
  options.clock = wce::ClockSpec{wce::ClockMode::kVirtual, 1.0};
  options.profile = std::move(profile);
  options.program_resources = kepla::ProgramResources();
  options.publish = publish;
  std::string error;
  device_ = wce::HostDevice::Boot(options, &error);
  ASSERT_NE(device_, nullptr) << error;
  guard_.emplace();
}

void ProgramDevice::Shutdown() {
  program_.reset();
  guard_.reset();
  if (device_ != nullptr) {
    FinishWithin(
        std::chrono::seconds(20), [this] { device_.reset(); }, "device shutdown");
  }
}

std::filesystem::path ProgramDevice::HostPath(std::string_view relative) const {
  return folder_.path() / "fs" / std::filesystem::path(relative);
}

void ProgramDevice::WriteFile(std::string_view relative, std::string_view bytes) const {
  folder_.Write(std::string("fs/") + std::string(relative), bytes);
}

void ProgramDevice::WritePackage(const kepla::pkg::PackageFields& fields,
                                 std::size_t imageBytes) const {
  std::vector<std::uint8_t> image = kepla::MakeDemoImage(imageBytes);
  std::string error;
  std::vector<std::uint8_t> package = kepla::pkg::MakePackage(image, fields, &error);
  ASSERT_FALSE(package.empty()) << error;
  WriteFile(kPackagePath,
            std::string_view(reinterpret_cast<const char*>(package.data()), package.size()));
}

void ProgramDevice::SetFreeSpace(wce::DeviceProfile* profile, std::uint64_t freeBytes) const {
  profile->cards = {wce::CardSpec{u"Storage Card", HostPath("Storage Card"), freeBytes}};
}

void ProgramDevice::StartProgram(wce::HostDevice::EntryPoint entry, std::u16string commandLine) {
  program_ = std::make_unique<ProgramThread>(*device_, entry, std::move(commandLine));
}

void ProgramDevice::StartBody(std::function<int(HINSTANCE)> body) {
  program_ = std::make_unique<ProgramThread>(*device_, std::move(body));
}

std::optional<int> ProgramDevice::FinishProgram(std::uint32_t timeoutMs) {
  if (program_ == nullptr) {
    ADD_FAILURE() << "no program was started";
    return std::nullopt;
  }
  return program_->Finish(timeoutMs);
}

wce::ScreenSnapshot ProgramDevice::WaitForScreen(
    const std::function<bool(const wce::ScreenSnapshot&)>& want, std::uint64_t timeoutMs) {
  const std::uint64_t deadline = Now() + timeoutMs;
  // No screen has this generation: the first call returns as soon as the program waits.
  std::uint64_t seen = UINT64_MAX;
  for (;;) {
    wce::ScreenSnapshot screen = automation().WaitForChange(seen, deadline);
    if (screen.waiting_for_input && want(screen)) return screen;
    if (!screen.program_running || Now() >= deadline) {
      ADD_FAILURE() << "the expected screen did not come (device time " << screen.time_ms
                    << " ms, foreground template " << screen.template_id
                    << (screen.program_running ? "" : ", program ended") << ")";
      return screen;
    }
    seen = screen.generation;
  }
}

wce::ScreenSnapshot ProgramDevice::WaitForTemplate(int templateId) {
  return WaitForScreen([templateId](const wce::ScreenSnapshot& s) {
    return s.template_id == templateId && !s.message_box;
  });
}

bool ProgramDevice::Press(int index, std::uint64_t timeoutMs) {
  return automation().WaitAndApply(wce::PressSoftKey{index}, Now() + timeoutMs);
}

std::optional<wce::MessageBoxSnapshot> ProgramDevice::DismissMessageBox(std::uint64_t timeoutMs) {
  wce::ScreenSnapshot screen = WaitForScreen(
      [](const wce::ScreenSnapshot& s) { return s.message_box.has_value(); }, timeoutMs);
  if (!screen.message_box) return std::nullopt;
  if (!automation().WaitAndApply(wce::DismissMessageBox{}, Now() + timeoutMs)) {
    ADD_FAILURE() << "the message box could not be dismissed";
    return std::nullopt;
  }
  return screen.message_box;
}

const wce::ControlSnapshot* ProgramDevice::Control(const wce::ScreenSnapshot& screen, int id) {
  for (const wce::ControlSnapshot& control : screen.controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

std::u16string ProgramDevice::ControlText(const wce::ScreenSnapshot& screen, int id) {
  const wce::ControlSnapshot* control = Control(screen, id);
  return control ? control->text : u"<no control>";
}

}  // namespace kepla_test
