#include <wince/clock.h>

#include <charconv>
#include <cmath>

namespace wce {

std::optional<ClockSpec> ClockSpec::Parse(std::string_view text) {
  if (text == "real") return ClockSpec{ClockMode::kReal, 1.0};
  if (text == "virtual") return ClockSpec{ClockMode::kVirtual, 1.0};
  if (text.size() >= 2 && (text[0] == 'x' || text[0] == 'X')) {
    const std::string_view digits = text.substr(1);
    // from_chars reads neither blanks nor a sign nor "0x"; anything it leaves over is refused.
    const bool starts_plain = (digits[0] >= '0' && digits[0] <= '9') || digits[0] == '.';
    if (!starts_plain || digits.find_first_not_of("0123456789.eE+-") != std::string_view::npos) {
      return std::nullopt;
    }
    double factor = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), factor,
                                           std::chars_format::general);
    if (ec != std::errc() || end != digits.data() + digits.size() || !std::isfinite(factor) ||
        factor < kMinFactor || factor > kMaxFactor) {
      return std::nullopt;
    }
    return ClockSpec{ClockMode::kScaled, factor};
  }
  return std::nullopt;
}

std::string ClockSpec::ToString() const {
  switch (mode) {
    case ClockMode::kReal:
      return "real";
    case ClockMode::kVirtual:
      return "virtual";
    case ClockMode::kScaled: {
      char buf[32];
      auto [p, ec] = std::to_chars(buf, buf + sizeof buf, factor);
      (void)ec;
      // Built by appending: GCC 12 warns falsely (-Wrestrict) on "x" + std::string&& at -O3.
      std::string text = "x";
      text.append(buf, p);
      return text;
    }
  }
  return "real";
}

DeviceClock::DeviceClock(ClockSpec spec) : spec_(spec), start_(std::chrono::steady_clock::now()) {}

std::uint64_t DeviceClock::NowMs() const {
  if (spec_.mode == ClockMode::kVirtual) return virtual_now_;
  auto elapsed = std::chrono::steady_clock::now() - start_;
  double ms = std::chrono::duration<double, std::milli>(elapsed).count();
  if (spec_.mode == ClockMode::kScaled) ms *= spec_.factor;
  return static_cast<std::uint64_t>(ms);
}

void DeviceClock::AdvanceTo(std::uint64_t ms) {
  if (ms > virtual_now_) virtual_now_ = ms;
}

std::chrono::steady_clock::time_point DeviceClock::HostDeadline(std::uint64_t device_ms) const {
  if (device_ms == kNever) return std::chrono::steady_clock::time_point::max();
  double host_ms = static_cast<double>(device_ms);
  if (spec_.mode == ClockMode::kScaled) host_ms /= spec_.factor;
  // +1 ms so that the device clock has reached the deadline when the wait returns.
  return start_ + std::chrono::microseconds(static_cast<std::int64_t>(host_ms * 1000.0) + 1000);
}

}  // namespace wce
