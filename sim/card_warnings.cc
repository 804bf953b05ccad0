#include "sim/card_warnings.h"

#include <system_error>

#include <wince/profile.h>
#include <wince/utf.h>
#include <wince/card_attributes.h>
#include "sim/card_volume.h"
#include "sim/device_report.h"

namespace kepla {

namespace fs = std::filesystem;

std::vector<std::string> CardWarnings(const fs::path& dir) {
  std::vector<std::string> lines;
  const std::optional<wce::DeviceProfile> profile = wce::LoadProfile(dir, nullptr);
  if (!profile) return lines;
  std::error_code ec;
  const fs::path real_dir = fs::canonical(dir, ec);
  for (const wce::CardSpec& card : profile->cards) {
    const fs::path real = fs::canonical(card.host, ec);
    if (ec || !fs::is_directory(real, ec)) continue;
    const std::string name =
        Printable("card \"" + wce::Utf16ToUtf8(card.name) + "\" (" + real.string());
    const std::optional<CardVolume> volume = DescribeCardVolume(real);
    const std::string file_system = volume ? volume->file_system : "an unknown file system";
    auto [dir_end, unused] =
        std::mismatch(real_dir.begin(), real_dir.end(), real.begin(), real.end());
    const bool inside = !real_dir.empty() && dir_end == real_dir.end();
    if (!inside && !IsFatFamily(file_system)) {
      lines.push_back("kepla: warning: " + name + ") is on " + file_system +
                      ", not a FAT volume: the phone's bootloader reads FAT volumes only, so it "
                      "will not see what is written there\n");
    }
    if (wce::AttributeFormOf(real) == wce::AttributeForm::kRecord) {
      lines.push_back(
          "kepla: note: " + name + ", " + file_system +
          ") keeps no file attributes: the image's hidden attribute is kept only in "
          "the device folder (" +
          Printable((fs::absolute(dir, ec) / "attributes").lexically_normal().string()) +
          "), not on the card\n");
    }
  }
  return lines;
}

}  // namespace kepla
