#include "module_list/module_list.h"

#include "extract/output_path.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace fwlaunch {
namespace {

std::vector<std::string> Walk(std::span<const char> list) {
  std::vector<std::string> entries;
  ScriptListWalk walk(list);
  while (auto entry = walk.Next()) entries.emplace_back(*entry);
  return entries;
}

std::vector<std::string> WalkText(const std::string& text) {
  return Walk(std::span<const char>(text.data(), text.size() + 1));
}

TEST(ScriptListWalk, EntriesEndAtLineFeedsAndTrailingTextIsNoEntry) {
  EXPECT_EQ(WalkText("a.pyo\nb.pyd\n"), (std::vector<std::string>{"a.pyo", "b.pyd"}));
  EXPECT_EQ(WalkText("a.pyo\nb.pyd"), (std::vector<std::string>{"a.pyo"}));
  EXPECT_EQ(WalkText(""), std::vector<std::string>{});
  // Nothing is trimmed: a CR stays part of the name, an empty line is an empty entry.
  EXPECT_EQ(WalkText(" a.pyo\r\n\nb.pyo \n"), (std::vector<std::string>{" a.pyo\r", "", "b.pyo "}));
}

TEST(ScriptListWalk, StopsAtTheFirstNul) {
  std::string text("a.pyo\nb.pyo\n\0c.pyo\n", 19);
  EXPECT_EQ(Walk(std::span<const char>(text.data(), text.size())),
            (std::vector<std::string>{"a.pyo", "b.pyo"}));
}

TEST(ScriptListWalk, ABufferWithoutNulIsReadToItsEndAndNoFurther) {
  std::array<char, 1024> list;
  list.fill('x');
  const std::string first = "first.pyo\n";
  std::copy(first.begin(), first.end(), list.begin());
  list[1022] = '\n';  // the last entry ends one byte before the buffer does
  std::vector<std::string> entries = Walk(list);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], "first.pyo");
  EXPECT_EQ(entries[1], std::string(1022 - first.size(), 'x'));

  list[1022] = 'x';
  list[1023] = '\n';
  EXPECT_EQ(Walk(list).back().size(), 1023 - first.size());
}

TEST(IsExtractableEntry, TakesOnlyPydAndPyoInAnyCase) {
  for (const char* name : {"Launch.pyo", "x.pyd", "UPPER.PYO", "mixed.PyD", "a.b.pyo", ".pyo"})
    EXPECT_TRUE(IsExtractableEntry(name)) << name;
  for (const char* name : {"x.py", "x.pyc", "notes.txt", "x.pyo.bak", "nodot", "", "x.pyo\r",
                           "x.pyo ", "x.py o", "pyo", "dir.pyo/x"})
    EXPECT_FALSE(IsExtractableEntry(name)) << name;
}

TEST(IsExtractableEntry, NamesMustFitTheEntryBufferWhole) {
  EXPECT_TRUE(IsExtractableEntry(std::string(123, 'a') + ".pyo"));   // 127 characters
  EXPECT_FALSE(IsExtractableEntry(std::string(124, 'a') + ".pyo"));  // 128
  EXPECT_FALSE(IsExtractableEntry(std::string(996, 'a') + ".pyo"));  // 1000
}

TEST(IsExtractableEntry, NeverLeadsOutOfTheWorkingFolder) {
  for (const char* name : {"sub/x.pyo", "a/b/c.pyd", "..x.pyo", "x..pyo", "sub/..x/y.pyo"})
    EXPECT_TRUE(IsExtractableEntry(name)) << name;
  for (const char* name :
       {"../x.pyo", "/abs/x.pyo", "sub/../../x.pyo", "sub/../x.pyo", "..", "a/../b.pyd", "//x.pyo"})
    EXPECT_FALSE(IsExtractableEntry(name)) << name;
}

// fwpack warns from the split; the launcher reads the same names the walk gives.
TEST(SplitModuleList, GivesTheWalksNamesAndWhatIsNeverRead) {
  SplitModuleList split("Launch.pyo\nhelper.pyo\ntail.pyo");
  EXPECT_EQ(split.names, (std::vector<std::string_view>{"Launch.pyo", "helper.pyo"}));
  EXPECT_EQ(split.unread, "tail.pyo");
  SplitModuleList whole("a.pyo\n");
  EXPECT_EQ(whole.names, std::vector<std::string_view>{"a.pyo"});
  EXPECT_EQ(whole.unread, "");
  EXPECT_TRUE(SplitModuleList("no line feed").names.empty());
}

// The reference library fits a long list to the buffer without ever listing half a name.
TEST(FitModuleList, CutsAfterTheLastWholeLineWithin1023Characters) {
  std::string list;
  while (list.size() + 10 <= 1023) list += "name1.pyo\n";  // 102 whole lines
  EXPECT_EQ(FitModuleList(list), list) << "a list that fits stays whole";
  std::string longer = list + "another.pyo\n";
  EXPECT_EQ(FitModuleList(longer), list);
  EXPECT_EQ(FitModuleList(std::string(2000, 'x')), "") << "no whole line at all";
}

TEST(ModuleOutputPath, AppendsTheEntryUnchangedWithin1023Characters) {
  EXPECT_EQ(ModuleOutputPath("/tmp/QALM/", "sub/x.pyo"), "/tmp/QALM/sub/x.pyo");
  std::string folder(1000, 'f');
  EXPECT_EQ(ModuleOutputPath(folder, std::string(23, 'e'))->size(), 1023u);
  EXPECT_FALSE(ModuleOutputPath(folder, std::string(24, 'e')).has_value());
}

}  // namespace
}  // namespace fwlaunch
