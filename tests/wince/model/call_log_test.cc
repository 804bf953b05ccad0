// The call log on its own: what it counts and writes, and where the faults keyed on a call fire.
#include "model/call_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <windows.h>

namespace wce {
namespace {

FaultSpec CallFault(FaultSpec::Kind kind, std::string call, int nth) {
  FaultSpec spec;
  spec.kind = kind;
  spec.call = std::move(call);
  spec.nth = nth;
  return spec;
}

// Counting is per function and shared by the threads; a fault fires at its own call only, with
// the function's default error unless it names one; after a power-off no call is counted or
// written; a profile may name only a function of the catalogue that can fail for callFails.
TEST(CallLogTest, CountsPerFunctionAndFiresFaultsAtTheirCall) {
  const auto catalogue = CallCatalogue();
  EXPECT_TRUE(std::is_sorted(catalogue.begin(), catalogue.end(),
                             [](const CallInfo& a, const CallInfo& b) { return a.name < b.name; }));
  for (const CallInfo& c : catalogue) EXPECT_EQ(FindCall(c.name), &c) << c.name;

  FaultSpec given_error = CallFault(FaultSpec::Kind::kCallFails, "ReadFile", 1);
  given_error.error = ERROR_ACCESS_DENIED;
  CallLog log({CallFault(FaultSpec::Kind::kCallFails, "WriteFile", 2), given_error,
               CallFault(FaultSpec::Kind::kPowerOff, "SetEndOfFile", 1)});
  std::vector<std::string> lines;
  log.SetSink([&](const std::string& line) { lines.push_back(line); });
  using Action = CallLog::Verdict::Action;

  EXPECT_EQ(log.Enter("WriteFile", CallLog::Thread::kWorker, u"\\Storage Card\\a.bin").action,
            Action::kProceed);
  EXPECT_EQ(log.Enter("GetTickCount", CallLog::Thread::kUi, u"").action, Action::kProceed);
  const CallLog::Verdict second = log.Enter("WriteFile", CallLog::Thread::kUi, u"");
  EXPECT_EQ(second.action, Action::kFail);
  EXPECT_EQ(second.error, static_cast<std::uint32_t>(ERROR_WRITE_FAULT));
  EXPECT_EQ(log.Enter("WriteFile", CallLog::Thread::kWorker, u"").action, Action::kProceed);
  const CallLog::Verdict read = log.Enter("ReadFile", CallLog::Thread::kWorker, u"");
  EXPECT_EQ(read.action, Action::kFail);
  EXPECT_EQ(read.error, static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(log.power_lost().has_value());
  EXPECT_EQ(log.Enter("SetEndOfFile", CallLog::Thread::kWorker, u"").action, Action::kPowerOff);
  EXPECT_EQ(log.Enter("GetTickCount", CallLog::Thread::kUi, u"").action, Action::kPowerOff);
  ASSERT_TRUE(log.power_lost().has_value());
  EXPECT_EQ(log.power_lost()->call, "SetEndOfFile");
  EXPECT_EQ(log.power_lost()->nth, 1);
  EXPECT_EQ(log.total(), 6u);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0],
            R"({"call":"WriteFile","nth":1,"thread":"worker","file":"\\Storage Card\\a.bin"})");
  EXPECT_EQ(lines[2], R"({"call":"WriteFile","nth":2,"thread":"ui"})");
  EXPECT_EQ(lines[5], R"({"call":"SetEndOfFile","nth":1,"thread":"worker"})");

  std::string error;
  EXPECT_FALSE(ParseProfile(R"({"faults":[{"kind":"callFails","call":"GetTickCount","nth":1}]})",
                            ".", &error));
  EXPECT_EQ(error, "faults[0].call: \"GetTickCount\" cannot fail on the device");
  EXPECT_FALSE(
      ParseProfile(R"({"faults":[{"kind":"powerOff","call":"writefile","nth":1}]})", ".", &error));
  EXPECT_EQ(error, "faults[0].call: \"writefile\" is not a recorded platform call");
  EXPECT_TRUE(
      ParseProfile(R"({"faults":[{"kind":"powerOff","call":"Sleep","nth":3}]})", ".", &error));
}

}  // namespace
}  // namespace wce
