// The rule every row must keep, and docs/reliability.md as the rows' outcomes make it.
#include <sstream>

#include "scenario/fault_matrix.h"

namespace kepla_test::matrix {
namespace {

// A table cell: no line breaks, and no bars that would end the cell.
std::string Cell(const std::string& text) {
  std::string cell;
  for (char c : text) {
    if (c == '|') {
      cell += "\\|";
    } else {
      cell += c == '\n' ? ' ' : c;
    }
  }
  return cell.empty() ? "—" : cell;
}

}  // namespace

std::string RuleBroken(const Row& row, const Outcome& outcome) {
  if (!outcome.package_intact) return "the package changed";
  if (outcome.damaged_before_next_run) return "a damaged image was left for the next run";
  switch (outcome.image) {
    case Image::kNone:
      return "";
    case Image::kZeroLength:
      return row.watchdog ? "" : "a zero-length image was left, and no watchdog ended the worker";
    case Image::kComplete:
      return outcome.told_failure ? "a whole image was left after the user was told it failed" : "";
    case Image::kPartial:
      return "a partial image was left";
    case Image::kDamaged:
      return "a damaged image was left";
  }
  return "";
}

std::string RenderReliabilityDoc(const std::vector<Row>& rows,
                                 const std::vector<Outcome>& outcomes) {
  std::ostringstream out;
  out << "# Reliability: the wizard under faults\n\n"
      << "<!-- Written by the FaultMatrix test (tests/scenario/fault_matrix_test.cc) from the "
         "runs it makes; do not edit. Regenerate with scripts/reliability.sh. -->\n\n"
      << "Each row runs the whole program on a fresh simulated device (virtual clock) with one "
         "fault at one moment of the preparation, as a user who always goes on: Next on each "
         "page, OK on each message, Close on the Finish page. The package beside the program "
         "holds an image of "
      << kImageBytes
      << " bytes: a first block of 2048 bytes, three whole chunks of 32767 bytes and a tail of "
         "1000 bytes (the disk-full row during the copy uses one of "
      << kLargeImageBytes
      << " bytes). Page results are the codes the pages returned (Welcome 1: accepted, 2 to 6: "
         "a refused check; Prepare 7: prepared, 8: failed; Finish 0: closed; a page whose window "
         "was destroyed under it returns 0).\n\n"
      << "The rule, checked by the test: no row loses the package or leaves a partial, damaged "
         "or unchecked image; the only exception is the zero-length image that remains when the "
         "watchdog terminated a worker that was still writing it.\n\n"
      << "| Fault | Moment | How | Pages | Message shown | Exit | Card afterwards | "
         "Other program, next run |\n"
      << "|---|---|---|---|---|---|---|---|\n";
  std::string last_fault;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    const Outcome& o = outcomes[i];
    out << "| " << (row.fault == last_fault ? "" : Cell(row.fault)) << " | " << Cell(row.moment)
        << " | " << Cell(row.how) << " | " << Cell(o.pages) << " | " << Cell(o.message) << " | "
        << Cell(o.exit) << " | " << Cell(o.card) << (o.package_intact ? "" : "; PACKAGE CHANGED")
        << " | " << Cell(o.then) << " |\n";
    last_fault = row.fault;
  }
  out << "\n## Why these moments\n\n";
  for (const auto& [fault, why] : WhyTheseMoments())
    out << "- **" << fault << "**: " << why << "\n";
  out << "\n## Regenerating\n\n"
      << "`scripts/reliability.sh` builds the scenario tests and runs the FaultMatrix test with "
         "`KEPLA_WRITE_RELIABILITY=1`, which writes this file. Without it the test fails when "
         "this file differs from what the rows give, and in any case when a row breaks the "
         "rule.\n";
  return out.str();
}

}  // namespace kepla_test::matrix
