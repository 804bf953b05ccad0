// An output file that appears complete or not at all.
#ifndef KEPLA_TOOLS_ATOMIC_FILE_H_
#define KEPLA_TOOLS_ATOMIC_FILE_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace kepla::pkg {

// Writes go to a new temporary file in the destination's folder; Commit renames it over the
// destination. Until then an existing destination is untouched, and a file that is not
// committed is removed when the object dies. Not thread-safe.
class AtomicFile {
 public:
  explicit AtomicFile(std::filesystem::path destination);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file. Returns false and sets *error ("PATH: reason") on failure.
  bool Open(std::string* error);
  // Appends `size` bytes. Returns false and sets *error on failure.
  bool Write(const void* data, std::size_t size, std::string* error);
  // Flushes, closes and renames the temporary file over the destination.
  bool Commit(std::string* error);

  const std::filesystem::path& temporary() const { return temporary_; }

 private:
  void Discard();

  std::filesystem::path destination_;
  std::filesystem::path temporary_;
  int fd_ = -1;
  bool committed_ = false;
};

}  // namespace kepla::pkg

#endif  // KEPLA_TOOLS_ATOMIC_FILE_H_
