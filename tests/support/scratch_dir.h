// A fresh host folder for one test, removed with everything in it when the test ends.
#ifndef KEPLA_TESTS_SUPPORT_SCRATCH_DIR_H_
#define KEPLA_TESTS_SUPPORT_SCRATCH_DIR_H_

#include <filesystem>
#include <string>
#include <string_view>

namespace kepla_test {

class ScratchDir {
 public:
  // Makes a new, empty folder under the system's temporary folder; aborts the test run if it
  // cannot.
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  // Writes `text` to `relative` (folders made as needed).
  void Write(std::string_view relative, std::string_view text) const;
  // The whole content of `relative`; empty when it cannot be read.
  std::string Read(std::string_view relative) const;

 private:
  std::filesystem::path path_;
};

}  // namespace kepla_test

#endif  // KEPLA_TESTS_SUPPORT_SCRATCH_DIR_H_
