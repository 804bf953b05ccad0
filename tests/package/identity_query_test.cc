// The device identity as the program gets it through COREDLL.DLL's KernelIoControl.
#include <gtest/gtest.h>

#include <string>

#include "package/data_unpacker.h"
#include "package_fixture.h"

namespace kepla_test {
namespace {

class IdentityQueryTest : public PackageDeviceTest {
 protected:
  DeviceIdentity Query() {
    DataUnpacker unpacker;
    unpacker.QueryDeviceIdentity();
    return *unpacker.Identity();
  }
};

TEST_F(IdentityQueryTest, FillsTheFiveFieldsFromTheOemAnswer) {
  profile().model = u"QMR407";
  profile().rom_version = u"1.13.407.2";
  profile().ext_rom_version = u"1.13.407 ENG WWE";
  BootAsUi();
  DeviceIdentity identity = Query();
  EXPECT_EQ(std::u16string(identity.language), u"ENG");
  EXPECT_EQ(std::u16string(identity.code), u"WWE");
  EXPECT_EQ(std::u16string(identity.model), u"QMR407");
  EXPECT_EQ(std::u16string(identity.romVersion), u"1.13.407.2");
  EXPECT_EQ(std::u16string(identity.extRomVersion), u"1.13.407 ENG WWE");
}

TEST_F(IdentityQueryTest, RefusedControlLeavesEverythingEmpty) {
  profile().identity_answers = false;
  BootAsUi();
  DeviceIdentity identity = Query();
  DeviceIdentity zero{};
  EXPECT_EQ(memcmp(&identity, &zero, sizeof(zero)), 0);
}

}  // namespace
}  // namespace kepla_test
