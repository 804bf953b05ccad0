// The test fixture around one ProgramDevice (program_device.h): the device of the test, shut
// down when the test ends.
//
//   class MyTest : public kepla_test::ProgramFixture {};
//   TEST_F(MyTest, Something) {
//     WritePackage(MatchingFields());
//     Boot();
//     StartProgram(&kepla_test::ProgramProcess, u"");
//     WaitForTemplate(IDD_WELCOME);
//     ASSERT_TRUE(Press(1));
//     EXPECT_EQ(FinishProgram(), 16);
//   }
#ifndef KEPLA_TESTS_SUPPORT_PROGRAM_FIXTURE_H_
#define KEPLA_TESTS_SUPPORT_PROGRAM_FIXTURE_H_

#include <gtest/gtest.h>

#include "support/program_device.h"

namespace kepla_test {

class ProgramFixture : public ::testing::Test, public ProgramDevice {
 protected:
  // Stops a program still running, ends this thread's device role and shuts the device down.
  void TearDown() override { Shutdown(); }
};

}  // namespace kepla_test

#endif  // KEPLA_TESTS_SUPPORT_PROGRAM_FIXTURE_H_
