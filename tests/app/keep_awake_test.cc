// The keep-awake guard: the backlight requirement and the idle-timer resets it makes while held.
#include "app/keep_awake.h"

#include <gtest/gtest.h>

#include "message_pump.h"
#include "support/program_fixture.h"

namespace kepla_test {
namespace {

class KeepAwakeTest : public ProgramFixture {
 protected:
  void SetUp() override { Boot(); }
  // The guard is process-wide: leave it released for the next test.
  void TearDown() override {
    KeepAwake::Stop();
    ProgramFixture::TearDown();
  }
  int Resets() { return automation().Snapshot().idle_timer_resets; }
  bool BacklightHeld() { return automation().Snapshot().backlight_held; }
};

TEST_F(KeepAwakeTest, HoldsTheBacklightAndResetsTheIdleTimerEveryFiveSeconds) {
  EXPECT_FALSE(BacklightHeld());
  KeepAwake::Start();
  EXPECT_NE(KeepAwake::TimerId(), 0u);
  EXPECT_NE(KeepAwake::PowerRequirement(), nullptr);
  EXPECT_TRUE(BacklightHeld());
  EXPECT_EQ(Resets(), 0);

  PumpMessages(15000 + 100);
  EXPECT_EQ(Resets(), 3);

  KeepAwake::Stop();
  EXPECT_EQ(KeepAwake::TimerId(), 0u);
  EXPECT_EQ(KeepAwake::PowerRequirement(), nullptr);
  EXPECT_FALSE(BacklightHeld());
  PumpMessages(15000);
  EXPECT_EQ(Resets(), 3);
}

TEST_F(KeepAwakeTest, SecondStartKeepsTheFirstTimerAndRequirement) {
  KeepAwake::Start();
  const UINT_PTR timer = KeepAwake::TimerId();
  const HANDLE requirement = KeepAwake::PowerRequirement();
  KeepAwake::Start();
  EXPECT_EQ(KeepAwake::TimerId(), timer);
  EXPECT_EQ(KeepAwake::PowerRequirement(), requirement);
  PumpMessages(5000 + 100);
  EXPECT_EQ(Resets(), 1);  // one timer, not two

  // One Stop releases everything.
  KeepAwake::Stop();
  EXPECT_FALSE(BacklightHeld());
  KeepAwake::Stop();
  EXPECT_EQ(KeepAwake::TimerId(), 0u);
}

}  // namespace
}  // namespace kepla_test
