#include "tools/package_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "package/descramble.h"
#include "package/package_header.h"
#include "tools/atomic_file.h"
#include "tools/file_kind.h"

namespace kepla::pkg {
namespace {

static_assert(kTrailerSize == kTrailerBytes && kFirstBlockSize == kFirstBlockBytes,
              "the tool and the device agree on the layout");

constexpr std::size_t kCopyChunk = std::size_t{1} << 20;

std::string Describe(const std::filesystem::path& path, const std::string& reason) {
  return path.string() + ": " + reason;
}

std::string Bytes(std::uint64_t count) {
  return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

void Scramble(std::uint8_t* data, std::size_t size) { descramble(data, static_cast<DWORD>(size)); }

// A file read from start to end, or at offsets.
class InputFile {
 public:
  ~InputFile() {
    if (fd_ >= 0) ::close(fd_);
  }

  // Refuses anything but a regular file without waiting on it: a FIFO is turned away before it
  // is opened, and one put in its place meanwhile is opened without waiting for a writer.
  bool Open(const std::filesystem::path& path, std::string* error) {
    path_ = path;
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
      *error = Describe(path, std::strerror(errno));
      return false;
    }
    if (!S_ISREG(info.st_mode)) return NotRegular(info.st_mode, error);
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0 || ::fstat(fd_, &info) != 0) {
      *error = Describe(path, std::strerror(errno));
      return false;
    }
    if (!S_ISREG(info.st_mode)) return NotRegular(info.st_mode, error);
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    size_ = static_cast<std::uint64_t>(info.st_size);
    return true;
  }

  std::uint64_t size() const { return size_; }
  int fd() const { return fd_; }
  const std::filesystem::path& path() const { return path_; }

  // True when `other` names this very file (following links), so that writing it would replace
  // what is being read.
  bool IsFile(const std::filesystem::path& other) const {
    struct stat mine, theirs;
    return ::fstat(fd_, &mine) == 0 && ::stat(other.c_str(), &theirs) == 0 &&
           mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
  }

  // Reads exactly `size` bytes at `offset`.
  bool ReadAt(std::uint64_t offset, std::uint8_t* data, std::size_t size, std::string* error) {
    while (size > 0) {
      ssize_t got = ::pread(fd_, data, size, static_cast<off_t>(offset));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        *error = Describe(path_, std::strerror(errno));
        return false;
      }
      if (got == 0) {
        *error = Describe(path_, "ended early (changed while being read?)");
        return false;
      }
      data += got;
      offset += static_cast<std::uint64_t>(got);
      size -= static_cast<std::size_t>(got);
    }
    return true;
  }

 private:
  bool NotRegular(mode_t mode, std::string* error) const {
    *error = Describe(path_, std::string("is ") + FileKind(mode) + ", not a regular file");
    return false;
  }

  std::filesystem::path path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

std::string NotPreparable(std::uint64_t size) {
  if (size < kSmallestPreparable) {
    return Bytes(size) + ", too small to be prepared (a package has at least " +
           std::to_string(kSmallestPreparable) + " bytes)";
  }
  return Bytes(size) + ", too large to be prepared (a package has at most " +
         std::to_string(kPreparableLimit - 1) + " bytes)";
}

// Writes into `output` the first block of `input` scrambled (descrambled: the same operation),
// then the rest of its first `total` bytes as they are. `progress` sees each piece after the
// first block, or the first block alone when nothing follows it.
bool CopyWithFirstBlockScrambled(InputFile& input, std::uint64_t total, AtomicFile& output,
                                 std::string* error, const ProgressFn& progress) {
  std::array<std::uint8_t, kFirstBlockSize> first;
  if (!input.ReadAt(0, first.data(), first.size(), error)) return false;
  Scramble(first.data(), first.size());
  if (!output.Write(first.data(), first.size(), error)) return false;
  if (total == kFirstBlockSize) {
    if (progress) progress(total, total);
    return true;
  }
  return output.Append(input.fd(), input.path(), kFirstBlockSize, total - kFirstBlockSize, error,
                       [&](std::uint64_t copied) {
                         if (progress) progress(kFirstBlockSize + copied, total);
                       });
}

// Refuses an output that is the input itself: the rename would put the result in its place.
bool CheckNotInput(const InputFile& input, const std::filesystem::path& out, std::string* error) {
  if (!input.IsFile(out)) return true;
  *error = Describe(out, "is the same file as " + input.path().string() +
                             "; writing it would replace what it is made from");
  return false;
}

// Streams the image of a preparable package: `sink` receives it in order, chunk by chunk.
template <typename Sink>
bool StreamImage(InputFile& package, std::string* error, Sink sink) {
  std::uint64_t total = package.size() - kTrailerSize;
  std::vector<std::uint8_t> buffer(kCopyChunk);
  for (std::uint64_t done = 0; done < total;) {
    std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(kCopyChunk, total - done));
    if (!package.ReadAt(done, buffer.data(), size, error)) return false;
    if (done == 0) Scramble(buffer.data(), kFirstBlockSize);
    if (!sink(done, buffer.data(), size)) return false;
    done += size;
  }
  return true;
}

void PutText(std::uint8_t* room, const std::u16string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    room[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
    room[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
  }
}

}  // namespace

bool CheckFieldText(const std::string& name, const std::u16string& text, std::size_t max,
                    std::string* error) {
  if (text.size() > max) {
    *error = name + ": " + std::to_string(text.size()) + " UTF-16 units, at most " +
             std::to_string(max) + " fit";
    return false;
  }
  if (text.find(u'\0') != std::u16string::npos) {
    *error = name + ": contains a zero character";
    return false;
  }
  return true;
}

bool IsPreparable(std::uint64_t package_bytes) {
  return package_bytes >= kSmallestPreparable && package_bytes < kPreparableLimit;
}

bool CheckFields(const PackageFields& fields, std::string* error) {
  return CheckFieldText("language", fields.language, kShortFieldMax, error) &&
         CheckFieldText("code", fields.code, kCodeFieldMax, error) &&
         CheckFieldText("model", fields.model, kShortFieldMax, error) &&
         CheckFieldText("romVersion", fields.romVersion, kShortFieldMax, error) &&
         CheckFieldText("extRomVersion", fields.extRomVersion, kShortFieldMax, error);
}

std::array<std::uint8_t, kTrailerSize> EncodeTrailer(const PackageFields& fields) {
  std::array<std::uint8_t, kTrailerSize> trailer{};
  PutText(&trailer[offsetof(PackageHeader, language)], fields.language);
  PutText(&trailer[offsetof(PackageHeader, code)], fields.code);
  PutText(&trailer[offsetof(PackageHeader, model)], fields.model);
  PutText(&trailer[offsetof(PackageHeader, romVersion)], fields.romVersion);
  PutText(&trailer[offsetof(PackageHeader, extRomVersion)], fields.extRomVersion);
  Scramble(trailer.data(), trailer.size());
  return trailer;
}

PackageFields DecodeTrailer(std::span<const std::uint8_t, kTrailerSize> trailer) {
  std::array<std::uint8_t, kTrailerSize> plain;
  std::copy(trailer.begin(), trailer.end(), plain.begin());
  Scramble(plain.data(), plain.size());
  PackageHeader header;
  DecodePackageHeader(plain.data(), &header);
  return PackageFields{header.language, header.code, header.model, header.romVersion,
                       header.extRomVersion};
}

std::vector<std::uint8_t> MakePackage(std::span<const std::uint8_t> image,
                                      const PackageFields& fields, std::string* error) {
  if (!CheckFields(fields, error)) return {};
  if (image.size() < kFirstBlockSize) {
    *error = "image of " + Bytes(image.size()) + ", at least " + std::to_string(kFirstBlockSize) +
             " needed";
    return {};
  }
  std::vector<std::uint8_t> package(image.begin(), image.end());
  Scramble(package.data(), kFirstBlockSize);
  auto trailer = EncodeTrailer(fields);
  package.insert(package.end(), trailer.begin(), trailer.end());
  return package;
}

std::vector<std::uint8_t> MakeImage(std::span<const std::uint8_t> package, std::string* error) {
  if (!IsPreparable(package.size())) {
    *error = "package of " + NotPreparable(package.size());
    return {};
  }
  std::vector<std::uint8_t> image(package.begin(), package.end() - kTrailerSize);
  Scramble(image.data(), kFirstBlockSize);
  return image;
}

bool BuildPackage(const std::filesystem::path& image, const PackageFields& fields,
                  const std::filesystem::path& out, std::string* error, ProgressFn progress) {
  if (!CheckFields(fields, error)) return false;
  InputFile input;
  if (!input.Open(image, error)) return false;
  std::uint64_t total = input.size();
  if (total < kFirstBlockSize) {
    *error = Describe(image,
                      Bytes(total) + ", an image has at least " + std::to_string(kFirstBlockSize));
    return false;
  }
  if (!IsPreparable(total + kTrailerSize)) {
    *error = Describe(image, "too large: its package would have more than " +
                                 std::to_string(kPreparableLimit - 1) + " bytes");
    return false;
  }
  if (!CheckNotInput(input, out, error)) return false;
  AtomicFile output(out);
  if (!output.Open(error)) return false;
  if (!CopyWithFirstBlockScrambled(input, total, output, error, progress)) return false;
  auto trailer = EncodeTrailer(fields);
  return output.Write(trailer.data(), trailer.size(), error) && output.Commit(error);
}

bool ReadPackageInfo(const std::filesystem::path& package, PackageInfo* info, std::string* error) {
  InputFile input;
  if (!input.Open(package, error)) return false;
  std::uint64_t size = input.size();
  if (size <= kTrailerSize) {
    *error = Describe(package, Bytes(size) + ", too short to hold the " +
                                   std::to_string(kTrailerSize) + "-byte trailer");
    return false;
  }
  std::array<std::uint8_t, kTrailerSize> trailer;
  if (!input.ReadAt(size - kTrailerSize, trailer.data(), trailer.size(), error)) return false;
  info->fields = DecodeTrailer(trailer);
  info->package_bytes = size;
  info->image_bytes = size - kTrailerSize;
  info->preparable = IsPreparable(size);
  return true;
}

bool ExtractImage(const std::filesystem::path& package, const std::filesystem::path& out,
                  std::string* error, ProgressFn progress) {
  InputFile input;
  if (!input.Open(package, error)) return false;
  if (!IsPreparable(input.size())) {
    *error = Describe(package, NotPreparable(input.size()));
    return false;
  }
  if (!CheckNotInput(input, out, error)) return false;
  AtomicFile output(out);
  if (!output.Open(error)) return false;
  return CopyWithFirstBlockScrambled(input, input.size() - kTrailerSize, output, error, progress) &&
         output.Commit(error);
}

Verdict VerifyImage(const std::filesystem::path& package, const std::filesystem::path& image,
                    std::uint64_t* first_difference, std::string* error) {
  InputFile input;
  InputFile candidate;
  if (!input.Open(package, error) || !candidate.Open(image, error)) return Verdict::kError;
  if (!IsPreparable(input.size())) {
    *error = Describe(package, NotPreparable(input.size()));
    return Verdict::kError;
  }
  std::uint64_t expected_size = input.size() - kTrailerSize;
  std::uint64_t common = std::min(expected_size, candidate.size());
  std::vector<std::uint8_t> theirs(kCopyChunk);
  std::uint64_t difference = UINT64_MAX;
  bool stopped = false;  // the comparison ended before the image did, on purpose
  bool streamed = StreamImage(
      input, error, [&](std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
        std::size_t compare =
            offset < common
                ? static_cast<std::size_t>(std::min<std::uint64_t>(size, common - offset))
                : 0;
        if (compare > 0 && !candidate.ReadAt(offset, theirs.data(), compare, error)) return false;
        auto mismatch = std::mismatch(data, data + compare, theirs.data());
        if (mismatch.first != data + compare) {
          difference = offset + static_cast<std::uint64_t>(mismatch.first - data);
        }
        stopped = difference != UINT64_MAX || compare < size;
        return !stopped;
      });
  if (!streamed && !stopped) return Verdict::kError;
  if (difference != UINT64_MAX) {
    *first_difference = difference;
    return Verdict::kDifferent;
  }
  if (candidate.size() != expected_size) {
    *first_difference = common;
    return Verdict::kDifferent;
  }
  return Verdict::kSame;
}

}  // namespace kepla::pkg
