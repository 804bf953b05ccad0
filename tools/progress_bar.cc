#include "tools/progress_bar.h"

namespace kepla::pkg {
namespace {

constexpr int kWidth = 30;

}  // namespace

void ProgressBar::Update(std::uint64_t done, std::uint64_t total) {
  if (!enabled_) return;
  int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
  if (percent == shown_) return;
  shown_ = percent;
  int filled = percent * kWidth / 100;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kWidth - filled), '.');
  out_ << '\r' << label_ << " [" << bar << "] "
       << (percent < 10    ? "  "
           : percent < 100 ? " "
                           : "")
       << percent << '%' << std::flush;
}

void ProgressBar::Finish() {
  if (shown_ < 0) return;
  out_ << '\n' << std::flush;
  shown_ = -1;
}

}  // namespace kepla::pkg
