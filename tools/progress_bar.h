// A one-line progress bar for a terminal.
#ifndef KEPLA_TOOLS_PROGRESS_BAR_H_
#define KEPLA_TOOLS_PROGRESS_BAR_H_

#include <cstdint>
#include <ostream>
#include <string>

namespace kepla::pkg {

// Redraws "LABEL [#####.....]  50%" in place (carriage return) whenever the whole percentage
// changes; Finish ends the line. A disabled bar writes nothing. Not thread-safe.
class ProgressBar {
 public:
  ProgressBar(std::ostream& out, std::string label, bool enabled)
      : out_(out), label_(std::move(label)), enabled_(enabled) {}
  ~ProgressBar() { Finish(); }
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Update(std::uint64_t done, std::uint64_t total);
  // Ends the line if anything was drawn.
  void Finish();

 private:
  std::ostream& out_;
  std::string label_;
  bool enabled_;
  int shown_ = -1;  // the percentage on screen, -1 before the first draw
};

}  // namespace kepla::pkg

#endif  // KEPLA_TOOLS_PROGRESS_BAR_H_
