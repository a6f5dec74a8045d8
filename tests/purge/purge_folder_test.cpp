#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "purge/purge_shared_data.h"
#include "tests/support/scratch_folder.h"

namespace fwlaunch {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::ScratchFolder;
using testing::WriteFile;

TEST(PurgeFolder, RemovesPlainFilesOfAnyModeAndKeepsFolders) {
  ScratchFolder scratch;
  const fs::path& folder = scratch.path();
  WriteFile(folder / "one.dat", "1");
  WriteFile(folder / ".hidden", "2");
  WriteFile(folder / "readonly", "3");
  chmod((folder / "readonly").c_str(), 0400);
  WriteFile(folder / "locked", "4");
  chmod((folder / "locked").c_str(), 0);
  fs::create_directories(folder / "sub" / "deeper");
  WriteFile(folder / "sub" / "inside.dat", "kept");
  WriteFile(folder / "sub" / "deeper" / "inside.dat", "kept");

  PurgeFolder(folder.string() + "/");

  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(folder))
    left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"sub"});
  EXPECT_EQ(ReadFile(folder / "sub" / "inside.dat"), "kept");
  EXPECT_EQ(ReadFile(folder / "sub" / "deeper" / "inside.dat"), "kept");
}

TEST(PurgeFolder, RemovesLinksButNeverWhatTheyLeadTo) {
  ScratchFolder scratch, elsewhere;
  WriteFile(elsewhere.path() / "target.dat", "target");
  chmod((elsewhere.path() / "target.dat").c_str(), 0444);
  fs::create_directory(elsewhere.path() / "dir");
  WriteFile(elsewhere.path() / "dir" / "inside.dat", "inside");
  fs::create_symlink(elsewhere.path() / "target.dat", scratch.path() / "file-link");
  fs::create_symlink(elsewhere.path() / "dir", scratch.path() / "dir-link");
  fs::create_symlink(elsewhere.path() / "gone", scratch.path() / "dangling");

  PurgeFolder(scratch.path().string() + "/");

  EXPECT_FALSE(fs::is_symlink(scratch.path() / "file-link"));
  EXPECT_FALSE(fs::is_symlink(scratch.path() / "dangling"));
  EXPECT_TRUE(fs::is_symlink(scratch.path() / "dir-link"));
  EXPECT_EQ(ReadFile(elsewhere.path() / "target.dat"), "target");
  EXPECT_EQ(fs::status(elsewhere.path() / "target.dat").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EQ(ReadFile(elsewhere.path() / "dir" / "inside.dat"), "inside");
}

TEST(PurgeFolder, AMissingFolderOrAFileInItsPlaceIsLeftAlone) {
  ScratchFolder scratch;
  PurgeFolder((scratch.path() / "absent").string() + "/");
  WriteFile(scratch.path() / "plain", "not a folder");
  PurgeFolder((scratch.path() / "plain").string() + "/");
  EXPECT_EQ(ReadFile(scratch.path() / "plain"), "not a folder");
}

TEST(SharedDataFolder, EndsInTheProductFolder) {
  std::string folder = SharedDataFolder();
  EXPECT_TRUE(folder.ends_with("/BrenvikProductTQLN/")) << folder;
  EXPECT_EQ(folder.find("//"), std::string::npos) << folder;
}

}  // namespace
}  // namespace fwlaunch
