#include <gtest/gtest.h>

#include <filesystem>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "purge/purge_shared_data.h"
#include "tests/support/scratch_folder.h"

namespace fwlaunch {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::ScratchFolder;
using testing::WriteFile;

#if defined(_WIN32)
constexpr char kSeparator[] = "\\";
#else
constexpr char kSeparator[] = "/";
#endif

TEST(PurgeFolder, RemovesPlainFilesOfAnyModeAndKeepsFolders) {
  ScratchFolder scratch;
  const fs::path& folder = scratch.path();
  WriteFile(folder / "one.dat", "1");
  WriteFile(folder / ".hidden", "2");
  WriteFile(folder / "readonly", "3");
  fs::permissions(folder / "readonly", fs::perms::owner_read);
  WriteFile(folder / "locked", "4");
  fs::permissions(folder / "locked", fs::perms::none);
  fs::create_directories(folder / "sub" / "deeper");
  WriteFile(folder / "sub" / "inside.dat", "kept");
  WriteFile(folder / "sub" / "deeper" / "inside.dat", "kept");

  PurgeFolder(folder.string() + kSeparator);

  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(folder))
    left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"sub"});
  EXPECT_EQ(ReadFile(folder / "sub" / "inside.dat"), "kept");
  EXPECT_EQ(ReadFile(folder / "sub" / "deeper" / "inside.dat"), "kept");
}

#if !defined(_WIN32)  // links to files need rights Windows users rarely have
TEST(PurgeFolder, RemovesLinksButNeverWhatTheyLeadTo) {
  ScratchFolder scratch, elsewhere;
  WriteFile(elsewhere.path() / "target.dat", "target");
  fs::permissions(elsewhere.path() / "target.dat",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::create_directory(elsewhere.path() / "dir");
  WriteFile(elsewhere.path() / "dir" / "inside.dat", "inside");
  fs::create_symlink(elsewhere.path() / "target.dat", scratch.path() / "file-link");
  fs::create_symlink(elsewhere.path() / "dir", scratch.path() / "dir-link");
  fs::create_symlink(elsewhere.path() / "gone", scratch.path() / "dangling");

  PurgeFolder(scratch.path().string() + kSeparator);

  EXPECT_FALSE(fs::is_symlink(scratch.path() / "file-link"));
  EXPECT_FALSE(fs::is_symlink(scratch.path() / "dangling"));
  EXPECT_TRUE(fs::is_symlink(scratch.path() / "dir-link"));
  EXPECT_EQ(ReadFile(elsewhere.path() / "target.dat"), "target");
  EXPECT_EQ(fs::status(elsewhere.path() / "target.dat").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EQ(ReadFile(elsewhere.path() / "dir" / "inside.dat"), "inside");
}
#endif

TEST(PurgeFolder, AMissingFolderOrAFileInItsPlaceIsLeftAlone) {
  ScratchFolder scratch;
  PurgeFolder((scratch.path() / "absent").string() + kSeparator);
  WriteFile(scratch.path() / "plain", "not a folder");
  PurgeFolder((scratch.path() / "plain").string() + kSeparator);
  EXPECT_EQ(ReadFile(scratch.path() / "plain"), "not a folder");
}

TEST(SharedDataFolder, EndsInTheProductFolder) {
#if defined(_WIN32)
  // Where the Windows tests point the machine-wide folder (the registry names this variable).
  ScratchFolder appdata;
  SetEnvironmentVariableA("FWLAUNCH_TEST_APPDATA", appdata.path().string().c_str());
#endif
  std::string folder = SharedDataFolder();
#if defined(_WIN32)
  EXPECT_TRUE(folder.ends_with("\\BrenvikProductTQLN\\")) << folder;
  EXPECT_EQ(folder.find("\\\\"), std::string::npos) << folder;
#else
  EXPECT_TRUE(folder.ends_with("/BrenvikProductTQLN/")) << folder;
  EXPECT_EQ(folder.find("//"), std::string::npos) << folder;
#endif
}

}  // namespace
}  // namespace fwlaunch
