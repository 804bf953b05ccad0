#include "package/unpack_wait.h"

#include <gtest/gtest.h>

namespace {

TEST(ClassifyUnpackWait, EventsDecideInTheirOrder) {
  EXPECT_EQ(ClassifyUnpackWait(WAIT_OBJECT_0 + 0, 0, 0, 0), UnpackWorkerDone);
  EXPECT_EQ(ClassifyUnpackWait(WAIT_OBJECT_0 + 1, 0, 0, 0), UnpackWorkerFailed);
  EXPECT_EQ(ClassifyUnpackWait(WAIT_OBJECT_0 + 2, 0, 0, 0), UnpackAborted);
}

TEST(ClassifyUnpackWait, InputWakeUpsAlsoLetTheWatchdogBite) {
  const DWORD input = WAIT_OBJECT_0 + 3;
  // The keep-awake timer wakes the wait every 5000 ms: a stuck worker must still be caught.
  EXPECT_EQ(ClassifyUnpackWait(input, 20000, 10000, 9000), UnpackWorkerSilent);
  EXPECT_EQ(ClassifyUnpackWait(input, 14999, 10000, 9000), UnpackWaitAgain);
  // In the first 5000 ms the worker may not have run yet: its tick is still 0.
  EXPECT_EQ(ClassifyUnpackWait(input, 13999, 0, 9000), UnpackWaitAgain);
  EXPECT_EQ(ClassifyUnpackWait(input, 14000, 0, 9000), UnpackWorkerSilent);
  // Across the wrap of the tick count.
  EXPECT_EQ(ClassifyUnpackWait(input, 100, 0xFFFFF000u, 0xFFFFE000u), UnpackWaitAgain);
}

TEST(ClassifyUnpackWait, TimeOutTerminatesOnlyAWorkerSilentFor5000Ms) {
  EXPECT_EQ(ClassifyUnpackWait(WAIT_TIMEOUT, 14999, 10000, 0), UnpackWaitAgain);
  EXPECT_EQ(ClassifyUnpackWait(WAIT_TIMEOUT, 15000, 10000, 0), UnpackWorkerSilent);
  // A worker that never started leaves the tick at 0.
  EXPECT_EQ(ClassifyUnpackWait(WAIT_TIMEOUT, 5000, 0, 0), UnpackWorkerSilent);
  // The tick count wraps after 49.7 days: the difference is taken modulo 2^32.
  EXPECT_EQ(ClassifyUnpackWait(WAIT_TIMEOUT, 100, 0xFFFFF000u, 0), UnpackWaitAgain);
  EXPECT_EQ(ClassifyUnpackWait(WAIT_TIMEOUT, 5000, 0xFFFFFF00u, 0), UnpackWorkerSilent);
}

TEST(ClassifyUnpackWait, AnythingElseIsABrokenWait) {
  EXPECT_EQ(ClassifyUnpackWait(WAIT_FAILED, 0, 0, 0), UnpackWaitBroken);
  EXPECT_EQ(ClassifyUnpackWait(WAIT_ABANDONED, 0, 0, 0), UnpackWaitBroken);
  EXPECT_EQ(ClassifyUnpackWait(WAIT_OBJECT_0 + 4, 0, 0, 0), UnpackWaitBroken);
}

}  // namespace
