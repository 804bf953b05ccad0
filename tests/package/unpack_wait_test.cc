#include "package/unpack_wait.h"

#include <gtest/gtest.h>

namespace {

TEST(ClassifyUnpackWait, EventsDecideInTheirOrder) {
  EXPECT_EQ(ClassifyUnpackWait(WAIT_OBJECT_0 + 0, 0, 0), UnpackWorkerDone);
  EXPECT_EQ(ClassifyUnpackWait(WAIT_OBJECT_0 + 1, 0, 0), UnpackWorkerFailed);
  EXPECT_EQ(ClassifyUnpackWait(WAIT_OBJECT_0 + 2, 0, 0), UnpackAborted);
  EXPECT_EQ(ClassifyUnpackWait(WAIT_OBJECT_0 + 3, 999999, 0), UnpackWaitAgain);  // input
}

TEST(ClassifyUnpackWait, TimeOutTerminatesOnlyAWorkerSilentFor5000Ms) {
  EXPECT_EQ(ClassifyUnpackWait(WAIT_TIMEOUT, 14999, 10000), UnpackWaitAgain);
  EXPECT_EQ(ClassifyUnpackWait(WAIT_TIMEOUT, 15000, 10000), UnpackWorkerSilent);
  // A worker that never started leaves the tick at 0.
  EXPECT_EQ(ClassifyUnpackWait(WAIT_TIMEOUT, 5000, 0), UnpackWorkerSilent);
  // The tick count wraps after 49.7 days: the difference is taken modulo 2^32.
  EXPECT_EQ(ClassifyUnpackWait(WAIT_TIMEOUT, 100, 0xFFFFF000u), UnpackWaitAgain);
  EXPECT_EQ(ClassifyUnpackWait(WAIT_TIMEOUT, 5000, 0xFFFFFF00u), UnpackWorkerSilent);
}

TEST(ClassifyUnpackWait, AnythingElseIsABrokenWait) {
  EXPECT_EQ(ClassifyUnpackWait(WAIT_FAILED, 0, 0), UnpackWaitBroken);
  EXPECT_EQ(ClassifyUnpackWait(WAIT_ABANDONED, 0, 0), UnpackWaitBroken);
  EXPECT_EQ(ClassifyUnpackWait(WAIT_OBJECT_0 + 4, 0, 0), UnpackWaitBroken);
}

}  // namespace
