// ExtractScripts with real shared objects: the folder-serving test library and broken ones.
#include "extract/extract_scripts.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/scratch_folder.h"

namespace fwlaunch {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::ScratchFolder;
using testing::WriteFile;

class ExtractScriptsTest : public ::testing::Test {
 protected:
  ExtractScriptsTest() {
    fs::create_directory(Work());
    fs::create_directory(Firmware());
  }
  fs::path Work() const { return scratch.path() / "QALM"; }
  fs::path Firmware() const { return scratch.path() / "firmware"; }
  std::string Library() const { return (Work() / "Script.dll").string(); }
  bool Extract() {
#if defined(_WIN32)
    return ExtractScripts(Library(), Work().string() + "\\", Firmware().string());
#else
    return ExtractScripts(Library(), Work().string() + "/", Firmware().string());
#endif
  }
  std::string Calls() const { return ReadFile(Firmware() / "calls.log"); }

  ScratchFolder scratch;
};

TEST_F(ExtractScriptsTest, TrueWhenTheLibraryWroteLaunch) {
  fs::copy_file(FWLAUNCH_FOLDER_LIBRARY, Library());
  WriteFile(Firmware() / "SCRIPT_PYD", "Launch.pyo\nhelper.pyo\n");
  WriteFile(Firmware() / "Launch.pyo", "launch");
  WriteFile(Firmware() / "helper.pyo", "helper");
  EXPECT_TRUE(Extract());
  EXPECT_EQ(ReadFile(Work() / "Launch.pyo"), "launch");
  EXPECT_EQ(ReadFile(Work() / "helper.pyo"), "helper");
  EXPECT_EQ(Calls(),
            "QueryCfg SCRIPT_PYD\nOpenFirmware\nReadFileInFW Launch.pyo\n"
            "ReadFileInFW helper.pyo\n");
}

TEST_F(ExtractScriptsTest, LaunchDecidesTheResultWhoeverWroteIt) {
  fs::copy_file(FWLAUNCH_FOLDER_LIBRARY, Library());
  WriteFile(Firmware() / "SCRIPT_PYD", "helper.pyo\n");
  WriteFile(Firmware() / "helper.pyo", "helper");
  EXPECT_FALSE(Extract());
  EXPECT_TRUE(fs::exists(Work() / "helper.pyo"));

  WriteFile(Firmware() / "SCRIPT_PYD", "");
  WriteFile(Work() / "Launch.pyo", "left by an earlier run");
  EXPECT_TRUE(Extract());
}

TEST_F(ExtractScriptsTest, TheLibraryCanBeLoadedAgainAfterEachCall) {
  fs::copy_file(FWLAUNCH_FOLDER_LIBRARY, Library());
  WriteFile(Firmware() / "SCRIPT_PYD", "Launch.pyo\n");
  WriteFile(Firmware() / "Launch.pyo", "first");
  EXPECT_TRUE(Extract());
  WriteFile(Firmware() / "Launch.pyo", "second");
  EXPECT_TRUE(Extract());
  EXPECT_EQ(ReadFile(Work() / "Launch.pyo"), "second");
  EXPECT_EQ(Calls().find("VIOLATION"), std::string::npos) << Calls();
}

TEST_F(ExtractScriptsTest, FalseWithNothingWrittenWhenTheLibraryIsUnusable) {
  WriteFile(Firmware() / "SCRIPT_PYD", "Launch.pyo\n");
  WriteFile(Firmware() / "Launch.pyo", "launch");

  EXPECT_FALSE(Extract()) << "missing";

  WriteFile(Library(), "");
  EXPECT_FALSE(Extract()) << "empty file";

  std::string noise(4096, '\0');
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 131 + 7);
  WriteFile(Library(),
            "\x7f"
            "ELF" +
                noise);
  EXPECT_FALSE(Extract()) << "random bytes";

  fs::remove(Library());
  fs::create_directory(Library());
  EXPECT_FALSE(Extract()) << "a folder";
  fs::remove(Library());

  fs::copy_file(FWLAUNCH_INCOMPLETE_LIBRARY, Library());
  EXPECT_FALSE(Extract()) << "an export missing";

  EXPECT_FALSE(fs::exists(Work() / "Launch.pyo"));
  EXPECT_FALSE(fs::exists(Firmware() / "calls.log")) << "the library was called";
}

}  // namespace
}  // namespace fwlaunch
