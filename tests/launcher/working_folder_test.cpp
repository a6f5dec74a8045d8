#include "launcher/working_folder.h"

#include <gtest/gtest.h>

namespace fwlaunch {
namespace {

TEST(WorkingFolder, IsQalmUnderTheTemporaryFolder) {
  EXPECT_EQ(WorkingFolder("/tmp"), "/tmp/QALM/");
  EXPECT_EQ(WorkingFolder("/var/tmp/"), "/var/tmp/QALM/");
  EXPECT_EQ(ScriptLibraryPath("/tmp/QALM/"), "/tmp/QALM/Script.dll");
}

TEST(WorkingFolder, FallsBackToARelativeQalmWithoutAUsableTemporaryFolder) {
  EXPECT_EQ(WorkingFolder(std::nullopt), "QALM/");
  EXPECT_EQ(WorkingFolder(""), "QALM/");
  // The library path must fit 1023 characters: "/" + "QALM/" + "Script.dll" is 16 more.
  std::string longest(1023 - 16, 't');
  EXPECT_EQ(ScriptLibraryPath(WorkingFolder(longest)).size(), 1023u);
  EXPECT_EQ(WorkingFolder(longest + "t"), "QALM/");
}

}  // namespace
}  // namespace fwlaunch
