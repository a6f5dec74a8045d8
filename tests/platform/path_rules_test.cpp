#include <gtest/gtest.h>

#include <string_view>

#include "platform/path_rules.h"

namespace fwlaunch::platform {
namespace {

struct NameCase {
  std::string_view name;
  bool inside_posix;
  bool inside_windows;
};

// Every rule on both systems' terms, so the Windows rules are checked on any build host.
constexpr NameCase kNames[] = {
    {"Launch.pyo", true, true},
    {"sub/inner.pyo", true, true},
    {"sub\\inner.pyo", true, true},  // on POSIX a backslash is part of the name
    {"./Launch.pyo", true, true},
    {"a..b.pyo", true, true},
    {"..pyo", true, true},
    {"", true, true},
    {"..", false, false},
    {"../escape.pyo", false, false},
    {"sub/../../escape.pyo", false, false},
    {"sub/..", false, false},
    {"/abs.pyo", false, false},
    {"//host/share/x.pyo", false, false},
    {"..\\escape.pyo", true, false},
    {"sub\\..\\..\\escape.pyo", true, false},
    {"\\rooted.pyo", true, false},
    {"\\\\host\\share\\x.pyo", true, false},
    {"C:\\x.pyo", true, false},
    {"C:x.pyo", true, false},
    {"c:/x.pyo", true, false},
    {"Launch.pyo:stream", true, false},
    {"...", true, false},
    {".. ", true, false},
    {"sub/. ./x.pyo", true, false},
    {"NUL", true, false},
    {"con.pyo", true, false},
    {"sub/Com1.pyd", true, false},
    {"lpt9 .pyo", true, false},
    {"CONOUT$", true, false},
    {"console.pyo", true, true},
    {"com10.pyo", true, true},
    {"nul_module.pyo", true, true},
};

TEST(PathRulesTest, OnlyNamesThatStayInsideTheFolderPass) {
  for (const NameCase& entry : kNames) {
    EXPECT_EQ(StaysInsideFolder(entry.name, PathStyle::kPosix), entry.inside_posix)
        << "POSIX: '" << entry.name << "'";
    EXPECT_EQ(StaysInsideFolder(entry.name, PathStyle::kWindows), entry.inside_windows)
        << "Windows: '" << entry.name << "'";
  }
}

TEST(PathRulesTest, SeparatorsAndBaseNamesFollowTheSystem) {
  EXPECT_TRUE(IsSeparator('/', PathStyle::kPosix));
  EXPECT_FALSE(IsSeparator('\\', PathStyle::kPosix));
  EXPECT_TRUE(IsSeparator('\\', PathStyle::kWindows));
  EXPECT_TRUE(IsSeparator('/', PathStyle::kWindows));
  EXPECT_TRUE(IsSeparator(kSeparator));

  EXPECT_EQ(BaseName("dir/sub/Launch.pyo", PathStyle::kPosix), "Launch.pyo");
  EXPECT_EQ(BaseName("dir\\Launch.pyo", PathStyle::kPosix), "dir\\Launch.pyo");
  EXPECT_EQ(BaseName("C:\\dir/sub\\Launch.pyo", PathStyle::kWindows), "Launch.pyo");
  EXPECT_EQ(BaseName("Launch.pyo"), "Launch.pyo");
  EXPECT_EQ(BaseName("dir/"), "");
}

}  // namespace
}  // namespace fwlaunch::platform
