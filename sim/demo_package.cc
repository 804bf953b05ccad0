#include "sim/demo_package.h"

#include <fstream>
#include <iterator>

#include "tools/atomic_file.h"

namespace kepla {

const char kDemoPackageName[] = "QMR407_1.20.407.1_WWE.bin";

pkg::PackageFields DemoFields() {
  pkg::PackageFields fields;
  fields.language = u"ENG";
  fields.code = u"WWE,HKG,TWN";
  fields.model = u"QMR407";
  fields.romVersion = u"1.20.407.1";
  fields.extRomVersion = u"1.20.407 ENG WWE";
  return fields;
}

std::vector<std::uint8_t> MakeDemoImage(std::size_t bytes, std::uint64_t seed) {
  // splitmix64: simple, fast, and fixed by its definition on every host.
  std::vector<std::uint8_t> image(bytes);
  std::uint64_t state = seed;
  for (std::size_t i = 0; i < bytes; i += 8) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    for (std::size_t k = 0; k < 8 && i + k < bytes; ++k) {
      image[i + k] = static_cast<std::uint8_t>(z >> (8 * k));
    }
  }
  return image;
}

bool WriteDemoPackage(const std::filesystem::path& folder, std::string* error) {
  const std::vector<std::uint8_t> package =
      pkg::MakePackage(MakeDemoImage(kDemoImageBytes), DemoFields(), error);
  if (package.empty()) return false;
  pkg::AtomicFile file(folder / kDemoPackageName);
  return file.Open(error) && file.Write(package.data(), package.size(), error) &&
         file.Commit(error);
}

bool DemoPackageIntact(const std::filesystem::path& folder, std::string* why) {
  const std::filesystem::path path = folder / kDemoPackageName;
  auto fail = [&](const std::string& reason) {
    if (why) *why = reason;
    return false;
  };
  pkg::PackageInfo info;
  std::string error;
  if (!pkg::ReadPackageInfo(path, &info, &error)) return fail(error);
  if (info.fields != DemoFields()) return fail(path.string() + ": header differs from the demo's");
  if (info.image_bytes != kDemoImageBytes) return fail(path.string() + ": size differs");
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> package((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
  const std::vector<std::uint8_t> image = pkg::MakeImage(package, &error);
  if (image.empty()) return fail(path.string() + ": " + error);
  if (image != MakeDemoImage(kDemoImageBytes)) return fail(path.string() + ": content differs");
  return true;
}

}  // namespace kepla
