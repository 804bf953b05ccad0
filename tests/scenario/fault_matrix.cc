#include "scenario/fault_matrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string_view>

#include <wince/utf.h>
#include "res/resource.h"
#include "sim/card_files.h"
#include "sim/demo_package.h"
#include "support/program_thread.h"
#include "tools/package_file.h"

namespace kepla_test::matrix {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kRunLimitMs = 600000;  // device time a whole wizard run may take

// A checksum of the file's bytes, read in pieces (the large package is 200 MiB).
std::uint64_t Checksum(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<char> buffer(1 << 20);
  std::uint64_t sum = 0;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const std::string_view piece(buffer.data(), static_cast<std::size_t>(in.gcount()));
    sum = sum * 1099511628211ull + std::hash<std::string_view>()(piece);
  }
  return sum;
}

// The offset of the first byte where `a` and `b` differ, or nullopt when one is a prefix of the
// other (or they are equal).
std::optional<std::uint64_t> FirstDifference(const fs::path& a, const fs::path& b) {
  std::ifstream in_a(a, std::ios::binary), in_b(b, std::ios::binary);
  std::vector<char> buffer_a(1 << 20), buffer_b(1 << 20);
  std::uint64_t offset = 0;
  for (;;) {
    in_a.read(buffer_a.data(), static_cast<std::streamsize>(buffer_a.size()));
    in_b.read(buffer_b.data(), static_cast<std::streamsize>(buffer_b.size()));
    const auto n = static_cast<std::size_t>(std::min(in_a.gcount(), in_b.gcount()));
    const auto [at_a, at_b] =
        std::mismatch(buffer_a.begin(), buffer_a.begin() + n, buffer_b.begin());
    if (at_a != buffer_a.begin() + n) return offset + (at_a - buffer_a.begin());
    if (n == 0 || in_a.gcount() != in_b.gcount()) return std::nullopt;
    offset += n;
  }
}

std::string PageName(int template_id) {
  switch (template_id) {
    case IDD_WELCOME:
    case IDD_WELCOME_WIDE:
      return "Welcome";
    case IDD_PREPARE:
    case IDD_PREPARE_WIDE:
      return "Prepare";
    case IDD_FINISH:
    case IDD_FINISH_WIDE:
      return "Finish";
    default:
      return "dialog " + std::to_string(template_id);
  }
}

std::string Join(const std::vector<std::string>& parts, const char* separator) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
  return text;
}

}  // namespace

Phone::Phone(std::uint64_t image_bytes) : image_bytes_(image_bytes) {
  std::string error;
  if (image_bytes <= kImageBytes) {
    WritePackage(MatchingFields(), static_cast<std::size_t>(image_bytes));
  } else {
    // The first block and the trailer of a small package around a hole: the image is the
    // descrambled first block followed by zeros.
    const std::vector<std::uint8_t> small =
        kepla::pkg::MakePackage(kepla::MakeDemoImage(2048), MatchingFields(), &error);
    EXPECT_EQ(small.size(), 2560u) << error;
    if (small.size() != 2560u) return;
    fs::create_directories(HostPath(kProgramFolder));
    std::ofstream out(HostPath(kPackagePath), std::ios::binary);
    out.write(reinterpret_cast<const char*>(small.data()), 2048);
    out.seekp(static_cast<std::streamoff>(image_bytes));
    out.write(reinterpret_cast<const char*>(small.data()) + 2048, 512);
  }
  package_sum_ = Checksum(HostPath(kPackagePath));
  SetFreeSpace(&profile_, std::uint64_t{1} << 30);
}

Phone::~Phone() {
  if (booted()) automation().SetObserver(nullptr);
  Shutdown();
}

wce::FaultSpec Phone::PackageFault(wce::FaultSpec::Kind kind, std::uint64_t offset,
                                   std::uint32_t ms) {
  wce::FaultSpec fault;
  fault.kind = kind;
  fault.file = u"\\Storage Card\\Upgrade\\fw.bin";
  fault.offset = offset;
  fault.ms = ms;
  return fault;
}

wce::FaultSpec Phone::ImageFault(wce::FaultSpec::Kind kind, std::uint64_t offset) {
  wce::FaultSpec fault;
  fault.kind = kind;
  fault.file = u"\\Storage Card\\407_QMR_SD.bin";
  fault.offset = offset;
  return fault;
}

wce::FaultSpec Phone::OpenStall(int skip, std::uint32_t ms) {
  wce::FaultSpec fault = PackageFault(wce::FaultSpec::Kind::kOpenStall, 0, ms);
  fault.skip = skip;
  return fault;
}

wce::FaultSpec Phone::CardFault(wce::FaultSpec::Kind kind, std::uint64_t bytes) {
  wce::FaultSpec fault;
  fault.kind = kind;
  fault.card = u"Storage Card";
  fault.bytes = bytes;
  return fault;
}

void Phone::BootRecorded(bool publish) {
  Boot(profile_, publish);
  if (booted()) automation().SetObserver(this);
}

std::optional<int> Phone::RunWizard(const std::function<void()>& at_preparation,
                                    const std::u16string& command_line) {
  StartProgram(&ProgramProcess, command_line);
  const std::uint64_t deadline = Now() + kRunLimitMs;
  bool prepared = false;
  std::uint64_t seen = UINT64_MAX;
  for (;;) {
    const wce::ScreenSnapshot screen = automation().WaitForChange(seen, deadline);
    if (!screen.program_running || Now() >= deadline) break;
    seen = screen.generation;
    if (!screen.waiting_for_input) continue;
    if (screen.message_box) {
      automation().Apply(wce::DismissMessageBox{});
      continue;
    }
    const std::string page = PageName(screen.template_id);
    const bool next = screen.soft_keys.size() == 2 && screen.soft_keys[0].enabled;
    if (page == "Finish") {
      automation().Apply(wce::PressSoftKey{1});
    } else if ((page == "Welcome" || page == "Prepare") && next &&
               automation().Apply(wce::PressSoftKey{0}) && page == "Prepare" && !prepared) {
      prepared = true;
      if (at_preparation) at_preparation();
    }
  }
  return FinishProgram(kRunLimitMs);
}

ProcessResult Phone::Other(const std::string& program, const std::vector<std::string>& args) {
  return RunProcess(SimProgram(program), args, folder(), {}, 120);
}

void Phone::WriteDeviceJson(wce::DeviceProfile profile, wce::ClockSpec clock) const {
  profile.clock = clock;
  std::string error;
  EXPECT_TRUE(wce::SaveProfile(folder(), profile, &error)) << error;
}

Outcome Phone::Observe(const std::string& exit) {
  Outcome outcome;
  {
    std::lock_guard<std::mutex> lock(mu_);
    outcome.pages = Join(pages_, ", ");
    outcome.message = Join(messages_, "; ");
    for (const std::string& m : messages_) {
      outcome.told_failure |= m.find("Data preparation failed") != std::string::npos;
    }
  }
  outcome.exit = exit;
  outcome.card = DescribeCard(&outcome.image);
  outcome.package_intact = PackageIntact();
  return outcome;
}

std::string Phone::DescribeCard(Image* image) {
  const fs::path host = HostPath(kImagePath);
  std::error_code ec;
  if (!fs::exists(host, ec)) {
    *image = Image::kNone;
    return "no image";
  }
  const std::uint64_t size = fs::file_size(host, ec);
  if (size == 0) {
    *image = Image::kZeroLength;
    return "a zero-length image";
  }
  const fs::path expected = folder() / "expected-image.bin";
  std::string error;
  if (!fs::exists(expected, ec) &&
      !kepla::pkg::ExtractImage(HostPath(kPackagePath), expected, &error)) {
    ADD_FAILURE() << error;
  }
  const std::optional<std::uint64_t> differs = FirstDifference(host, expected);
  if (!differs && size == image_bytes_) {
    *image = Image::kComplete;
    return "the complete image";
  }
  if (!differs && size < image_bytes_) {
    *image = Image::kPartial;
    return "a partial image (" + kepla::ByteCount(size) + " of " + kepla::ByteCount(image_bytes_) +
           ")";
  }
  *image = Image::kDamaged;
  return "a damaged image (" + kepla::ByteCount(size) + ", unlike the package's from byte " +
         std::to_string(differs.value_or(image_bytes_)) + ")";
}

bool Phone::PackageIntact() { return Checksum(HostPath(kPackagePath)) == package_sum_; }

void Phone::ForgetRecord() {
  std::lock_guard<std::mutex> lock(mu_);
  pages_.clear();
  messages_.clear();
}

void Phone::OnMessageBox(std::uint64_t, const wce::MessageBoxSnapshot& box) {
  std::lock_guard<std::mutex> lock(mu_);
  std::string quoted = "\"";  // appended: GCC 12 at -O3 warns falsely (-Wrestrict) on "..." + s
  quoted += wce::Utf16ToUtf8(box.text);
  quoted += '"';
  messages_.push_back(std::move(quoted));
}

void Phone::OnDialogEnded(std::uint64_t, int template_id, std::intptr_t result) {
  std::lock_guard<std::mutex> lock(mu_);
  pages_.push_back(PageName(template_id) + " " + std::to_string(result));
}

}  // namespace kepla_test::matrix
