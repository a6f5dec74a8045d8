// The shared data folder is what the shell reports for CSIDL_COMMON_APPDATA; every test points
// that at a folder of its own through an environment variable (the fixture's
// FWLAUNCH_TEST_APPDATA), so that the shell's own calls are the ones tested.
#include <gtest/gtest.h>

#include "tests/support/windows/windows_system.h"

namespace fwlaunch::testing {
namespace {

class CommonAppDataRedirect : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(SetMachineExpandString(
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
        "Common AppData", "%FWLAUNCH_TEST_APPDATA%"));
  }
};

const auto* const kRedirect = ::testing::AddGlobalTestEnvironment(new CommonAppDataRedirect);

}  // namespace
}  // namespace fwlaunch::testing
