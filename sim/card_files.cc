#include "sim/card_files.h"

#include <system_error>

#include <wince/utf.h>
#include <wince/card_attributes.h>
#include <wince/device_path.h>

namespace kepla {
namespace {

namespace fs = std::filesystem;

// The files of the host folder `folder` (device path `device_folder`, ending in '\') that the
// device sees in the volume at `root`: no reserved names, no links that lead out of the volume.
void ListFolder(const fs::path& folder, const fs::path& root, const std::string& device_folder,
                const wce::CardAttributes& attributes, CardFiles* files) {
  std::error_code ec;
  for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::u16string name;
    if (!wce::Utf8ToUtf16(it->path().filename().native(), &name) || wce::IsReservedName(name)) {
      continue;
    }
    std::error_code entry_ec;
    if (it->is_symlink(entry_ec) && !wce::IsInsideVolume(it->path(), root)) continue;
    if (!it->is_regular_file(entry_ec)) continue;
    CardFile file;
    file.bytes = static_cast<std::uint64_t>(it->file_size(entry_ec));
    file.hidden = (attributes.Get(it->path()) & FILE_ATTRIBUTE_HIDDEN) != 0;
    file.written = it->last_write_time(entry_ec);
    (*files)[device_folder + it->path().filename().string()] = file;
  }
}

}  // namespace

std::string ByteCount(std::uint64_t bytes) {
  // Built by appending: GCC 12 at -O2 misreads std::string::insert here (-Wrestrict).
  const std::string digits = std::to_string(bytes);
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); i++) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped + (bytes == 1 ? " byte" : " bytes");
}

CardFiles ListCardFiles(std::span<const wce::Volume> volumes, std::u16string_view program,
                        const fs::path& device_folder) {
  CardFiles files;
  const wce::CardAttributes attributes(device_folder, volumes);
  for (std::size_t i = 1; i < volumes.size(); ++i) {
    // Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) about "..." + std::string.
    std::string root = "\\";
    root += wce::Utf16ToUtf8(volumes[i].name);
    root += '\\';
    ListFolder(volumes[i].host, volumes[i].host, root, attributes, &files);
  }
  // The program's folder, found as the device finds it.
  const std::u16string_view folder = program.substr(0, program.rfind(u'\\') + 1);
  wce::HostLocation where;
  if (!volumes.empty() && wce::MapDevicePath(volumes, folder, &where) == ERROR_SUCCESS &&
      where.exists) {
    ListFolder(where.host, volumes[where.volume].host, wce::Utf16ToUtf8(folder), attributes,
               &files);
  }
  return files;
}

std::string DescribeCardFile(const std::string& path, const CardFile& file) {
  return path + " (" + (file.hidden ? "hidden, " : "") + ByteCount(file.bytes) + ")";
}

std::vector<CardChange> CompareCardFiles(const CardFiles& before, const CardFiles& after) {
  std::vector<CardChange> changes;
  auto b = before.begin();
  auto a = after.begin();
  while (b != before.end() || a != after.end()) {
    if (a == after.end() || (b != before.end() && b->first < a->first)) {
      changes.push_back(CardChange{CardChange::Kind::kDeleted, b->first, b->second});
      ++b;
    } else if (b == before.end() || a->first < b->first) {
      changes.push_back(CardChange{CardChange::Kind::kWritten, a->first, a->second});
      ++a;
    } else {
      if (a->second.bytes != b->second.bytes || a->second.written != b->second.written) {
        changes.push_back(CardChange{CardChange::Kind::kRewritten, a->first, a->second});
      }
      ++a;
      ++b;
    }
  }
  return changes;
}

}  // namespace kepla
