// The device clock: every tick count, sleep, timer and time-out of the layer reads it.
#ifndef WINCE_CLOCK_H_
#define WINCE_CLOCK_H_

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wce {

enum class ClockMode { kReal, kScaled, kVirtual };

// "real", "xN" (N times faster than wall time, kMinFactor <= N <= kMaxFactor) or "virtual".
struct ClockSpec {
  // A thousand times slower still lets a test watch the preparation wait; a thousand times faster
  // turns its eleven seconds into a blink. Past either end a run never ends or never waits.
  static constexpr double kMinFactor = 0.001;
  static constexpr double kMaxFactor = 1000;
  // How messages name the forms: "real, xN (N from 0.001 to 1000) or virtual".
  static constexpr char kForms[] = "real, xN (N from 0.001 to 1000) or virtual";

  ClockMode mode = ClockMode::kReal;
  double factor = 1.0;

  // Returns nullopt for a text that is none of the three forms. N is a plain decimal number
  // (digits, one point, an exponent) that makes up the whole rest of the text: no blanks, sign,
  // hexadecimal, "inf" or "nan".
  static std::optional<ClockSpec> Parse(std::string_view text);
  std::string ToString() const;
};

// Device time in milliseconds since boot. Real and scaled clocks follow the host's steady clock;
// a virtual clock moves only when Advance() is called (by the scheduler, when every device
// thread waits). Not thread-safe by itself: the scheduler guards it.
class DeviceClock {
 public:
  static constexpr std::uint64_t kNever = UINT64_MAX;

  explicit DeviceClock(ClockSpec spec);

  const ClockSpec& spec() const { return spec_; }
  bool is_virtual() const { return spec_.mode == ClockMode::kVirtual; }

  std::uint64_t NowMs() const;
  // Virtual clock only: moves time forward to `ms` (never backwards).
  void AdvanceTo(std::uint64_t ms);
  // The host time point at which device time reaches `device_ms` (real and scaled clocks).
  std::chrono::steady_clock::time_point HostDeadline(std::uint64_t device_ms) const;

 private:
  ClockSpec spec_;
  std::chrono::steady_clock::time_point start_;
  std::uint64_t virtual_now_ = 0;
};

}  // namespace wce

#endif  // WINCE_CLOCK_H_
