// An output file that appears complete or not at all.
#ifndef KEPLA_TOOLS_ATOMIC_FILE_H_
#define KEPLA_TOOLS_ATOMIC_FILE_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kepla::pkg {

// Writes go to a new temporary file in the destination's folder; Commit flushes it to the disk,
// renames it over the destination and flushes the folder. Until then an existing destination is
// untouched, and a file that is not committed is removed when the object dies. Data is appended
// in order; the disk starts writing it as it comes (a hint: only Commit's flush makes it
// durable and reports a failed write-back). Not thread-safe.
//
// Only a regular file is ever replaced: a destination that exists as anything else (a device,
// a FIFO, a folder) or that is a symbolic link to nothing is refused. A symbolic link to a
// regular file is written through: the file it points to is replaced, the link stays. While
// the temporary exists it is noted for RemoveTemporariesOnSignals (pending_temporaries.h), and
// Open removes temporaries of the same destination left by processes that no longer exist.
class AtomicFile {
 public:
  explicit AtomicFile(std::filesystem::path destination);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Checks the destination and creates the temporary file. Returns false and sets *error
  // ("PATH: reason") on failure.
  bool Open(std::string* error);
  // Appends `size` bytes. Returns false and sets *error on failure.
  bool Write(const void* data, std::size_t size, std::string* error);
  // Appends `size` bytes of the open file `source` (named `source_name` in errors) from
  // `offset`, through the kernel's copy offload where the file systems allow it, else by reads
  // and writes. Calls `copied` with the bytes appended so far after each piece (1 MiB at most).
  // Returns false and sets *error ("PATH: reason", naming the file at fault) on failure, also
  // when `source` ends before offset + size.
  bool Append(int source, const std::filesystem::path& source_name, std::uint64_t offset,
              std::uint64_t size, std::string* error,
              const std::function<void(std::uint64_t copied)>& copied = {});
  // Flushes, closes and renames the temporary file over the destination, then flushes the
  // folder. A failure before the rename leaves the destination as it was; one in flushing the
  // folder afterwards is reported although the destination is already replaced.
  bool Commit(std::string* error);

  const std::filesystem::path& temporary() const { return temporary_; }

 private:
  // Asks the disk to start writing [offset, offset + size) of the temporary file.
  void StartWriteBack(std::uint64_t offset, std::uint64_t size);
  // One piece of Append by reads and writes; returns the bytes copied, 0 on failure.
  std::size_t CopyByHand(int source, const std::filesystem::path& source_name, std::uint64_t offset,
                         std::size_t size, std::string* error);
  void Discard();

  std::filesystem::path shown_;        // the destination as given, for messages
  std::filesystem::path destination_;  // what is replaced: shown_, or the file its link names
  std::filesystem::path temporary_;
  int fd_ = -1;
  std::uint64_t size_ = 0;            // bytes written so far
  bool offload_ = true;               // false once the kernel has refused a copy offload
  std::vector<std::uint8_t> buffer_;  // for CopyByHand, made on first use
  bool committed_ = false;
  int noted_ = -1;  // RememberTemporary's token
};

}  // namespace kepla::pkg

#endif  // KEPLA_TOOLS_ATOMIC_FILE_H_
