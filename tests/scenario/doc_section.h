// docs/reliability.md has two writers: the fault matrix writes the page, and the call sweep
// writes one section of it, between markers, at its end. Each keeps the other's part as it is.
#ifndef KEPLA_TESTS_SCENARIO_DOC_SECTION_H_
#define KEPLA_TESTS_SCENARIO_DOC_SECTION_H_

#include <string>
#include <string_view>

namespace kepla_test {

inline constexpr std::string_view kSweepSectionBegin =
    "<!-- Call sweep: written by the CallSweep test (tests/scenario/call_sweep_test.cc) from the "
    "runs it makes; do not edit. Regenerate with scripts/sweep.sh. -->";
inline constexpr std::string_view kSweepSectionEnd = "<!-- End of the call sweep. -->";

// The section of `doc` from its begin marker to the end of its end marker's line, or empty when
// the doc has none (or only half of one).
inline std::string SweepSection(const std::string& doc) {
  const std::size_t begin = doc.find(kSweepSectionBegin);
  if (begin == std::string::npos) return "";
  const std::size_t end = doc.find(kSweepSectionEnd, begin);
  if (end == std::string::npos) return "";
  const std::size_t line_end = doc.find('\n', end);
  return doc.substr(begin,
                    line_end == std::string::npos ? std::string::npos : line_end + 1 - begin);
}

// `doc` without its sweep section (and the blank line before it).
inline std::string WithoutSweepSection(const std::string& doc) {
  const std::size_t begin = doc.find(kSweepSectionBegin);
  if (begin == std::string::npos || SweepSection(doc).empty()) return doc;
  std::string before = doc.substr(0, begin);
  if (before.size() >= 2 && before.compare(before.size() - 2, 2, "\n\n") == 0) before.pop_back();
  return before + doc.substr(begin + SweepSection(doc).size());
}

// `doc` with `section` (which holds its markers) in place of its sweep section, or appended after
// a blank line when it has none. An empty `section` leaves the doc without one.
inline std::string WithSweepSection(const std::string& doc, const std::string& section) {
  const std::string rest = WithoutSweepSection(doc);
  if (section.empty()) return rest;
  return rest + "\n" + section;
}

}  // namespace kepla_test

#endif  // KEPLA_TESTS_SCENARIO_DOC_SECTION_H_
