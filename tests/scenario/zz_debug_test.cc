#include <gtest/gtest.h>
#include "res/resource.h"
#include "scenario/scenario_fixture.h"
namespace kepla_test {
class DebugTest : public ScenarioTest {};
TEST_F(DebugTest, Short) {
  wce::DeviceProfile profile;
  wce::FaultSpec fault;
  fault.kind = wce::FaultSpec::Kind::kThreadCreate;
  fault.count = 1;
  profile.faults.push_back(fault);
  BootReady(profile);
  StartWizard();
  ASSERT_TRUE(StartPreparation().has_value());
  std::uint64_t seen = UINT64_MAX;
  for (int i = 0; i < 20; i++) {
    wce::ScreenSnapshot s = automation().WaitForChange(seen, Now() + 60000);
    printf("t=%llu gen=%llu tmpl=%d wait=%d run=%d box=%d text=%s\n", (unsigned long long)s.time_ms,
           (unsigned long long)s.generation, s.template_id, s.waiting_for_input, s.program_running,
           s.message_box.has_value(), [&]{auto u=ControlText(s,1004); return std::string(u.begin(),u.end());}().c_str());
    seen = s.generation;
    if (!s.program_running) break;
  }
}
}
