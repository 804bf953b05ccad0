#include "sim/wine/wine_host.h"

#include <gtest/gtest.h>

namespace kepla::wine {
namespace {

WineHostFacts BothLoaders(bool probe_line_comes_back, int* probes) {
  WineHostFacts facts;
  facts.wine = "/usr/bin/wine";
  facts.loader64 = "/usr/lib/wine/wine64";
  facts.probe_runs = [probe_line_comes_back, probes] {
    ++*probes;
    return probe_line_comes_back;
  };
  return facts;
}

// The build is chosen by what runs: the probe's line, not which loaders are installed.
TEST(WineHostTest, TheProbeDecidesAndTheOverrideOrNoWineSkipsIt) {
  int probes = 0;
  WineHost runs = ChooseWineHost(BothLoaders(true, &probes));
  EXPECT_EQ(runs.arch, "i686");
  EXPECT_EQ(runs.loader, "/usr/bin/wine");
  EXPECT_TRUE(runs.environment.empty());

  // The 32-bit half missing, or a kernel without 32-bit programs: the probe prints nothing.
  WineHost silent = ChooseWineHost(BothLoaders(false, &probes));
  EXPECT_EQ(silent.arch, "x86_64");
  EXPECT_EQ(silent.loader, "/usr/lib/wine/wine64");
  EXPECT_EQ(silent.environment.at("WINELOADER"), "/usr/lib/wine/wine64");
  EXPECT_EQ(probes, 2);

  WineHostFacts none;
  none.probe_runs = [&probes] { return ++probes > 0; };
  WineHost missing = ChooseWineHost(none);
  EXPECT_EQ(missing.arch, "");
  EXPECT_NE(missing.why.find("no Wine is installed"), std::string::npos) << missing.why;

  WineHostFacts forced = BothLoaders(true, &probes);
  forced.override_build = "x86_64";
  EXPECT_EQ(ChooseWineHost(forced).arch, "x86_64");
  forced = BothLoaders(false, &probes);
  forced.override_build = "i686";
  EXPECT_EQ(ChooseWineHost(forced).arch, "i686");
  EXPECT_EQ(probes, 2) << "neither the override nor a host without Wine runs the probe";

  forced.override_build = "arm";
  WineHost ignored = ChooseWineHost(forced);
  EXPECT_EQ(ignored.arch, "x86_64");
  EXPECT_NE(ignored.why.find("KEPLA_WINE_BUILD=arm is neither"), std::string::npos) << ignored.why;
}

}  // namespace
}  // namespace kepla::wine
