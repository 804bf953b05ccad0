// What a run on the simulated device and the same run under Wine are compared on: the transcript
// reduced to what a person sees and does, the exit code, and the card's files afterwards.
//
// Everything the comparison leaves out is in kIgnored, with the reason; nothing else is dropped.
#ifndef KEPLA_TESTS_DIFFERENTIAL_COMPARISON_H_
#define KEPLA_TESTS_DIFFERENTIAL_COMPARISON_H_

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kepla_test {

struct Ignored {
  const char* what;
  const char* why;
};
extern const Ignored kIgnored[];
extern const std::size_t kIgnoredCount;

// The transcript (JSON lines) as comparable lines, in order: screens (window title, controls'
// ids, classes, texts, visibility and state, soft-key labels and states, the open message box),
// message boxes as they open, actions, and the exit.
std::vector<std::string> ComparableTranscript(std::string_view jsonl);

// The files under `card` (a host folder), one line each: path below the card, size, whether the
// device reports it hidden, and a digest of its bytes.
std::vector<std::string> CardListing(const std::filesystem::path& card);

}  // namespace kepla_test

#endif  // KEPLA_TESTS_DIFFERENTIAL_COMPARISON_H_
