// The fault matrix as a test: every row must keep the rule, and docs/reliability.md must be what
// the rows give. With KEPLA_WRITE_RELIABILITY=1 the document is written instead of compared
// (scripts/reliability.sh).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "scenario/doc_section.h"
#include "scenario/fault_matrix.h"

namespace kepla_test::matrix {
namespace {

TEST(FaultMatrix, EveryRowKeepsThePackageAndLeavesNoUncheckedImage) {
  const std::vector<Row> rows = Rows();
  std::vector<Outcome> outcomes;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fault + ", " + row.moment);
    Outcome outcome;
    {
      Phone phone(row.fault == "Disk full" && row.moment == "mid-copy" ? kLargeImageBytes
                                                                       : kImageBytes);
      outcome = row.run(phone);
    }
    const std::string broken = RuleBroken(row, outcome);
    EXPECT_EQ(broken, "") << row.fault << ", " << row.moment << ": the card holds " << outcome.card
                          << "; " << outcome.then;
    outcomes.push_back(std::move(outcome));
  }

  const std::filesystem::path file =
      std::filesystem::path(KEPLA_SOURCE_DIR) / "docs" / "reliability.md";
  std::ifstream in(file, std::ios::binary);
  const std::string committed((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
  // The call sweep's section is the CallSweep test's own: kept as it stands.
  const std::string doc =
      WithSweepSection(RenderReliabilityDoc(rows, outcomes), SweepSection(committed));
  const char* write = std::getenv("KEPLA_WRITE_RELIABILITY");
  if (write != nullptr && std::string(write) == "1") {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << doc;
    return;
  }
  EXPECT_EQ(committed, doc) << file.string()
                            << " is not what the rows give: run scripts/reliability.sh";
}

}  // namespace
}  // namespace kepla_test::matrix
