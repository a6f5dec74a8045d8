// Code that another local user controls is never run: the working folder and Script.dll must
// be the user's or root's, and writable by no one else. The test runs as root; "another user"
// is nobody (65534), who owns what it plants.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <functional>

#include "tests/launcher/fwlaunch_fixture.h"

namespace fwlaunch::testing {
namespace {

constexpr uid_t kOtherUser = 65534;
constexpr gid_t kOtherGroup = 65534;

class FwlaunchTrustTest : public FwlaunchTest {
 protected:
  FwlaunchTrustTest() { options.environment["FWLAUNCH_TEST_LOADED"] = Loaded().string(); }

  // Where any user may write, for the test that runs as another user.
  fs::path Loaded() const { return Temp() / "loaded"; }

  // A fresh working folder of root's, 0755, holding the library.
  void ResetWork() {
    fs::remove_all(Work());
    fs::remove_all(Loaded());
    fs::create_directories(Work());
    chmod(Work().c_str(), 0755);
    fs::copy_file(FWLAUNCH_FOLDER_LIBRARY, Work() / "Script.dll");
  }

  // A folder holding a copy of the library, both owned by owner.
  fs::path LibraryFolder(const std::string& name, uid_t owner) const {
    fs::path folder = scratch.path() / name;
    fs::create_directories(folder);
    fs::copy_file(FWLAUNCH_FOLDER_LIBRARY, folder / "Script.dll",
                  fs::copy_options::overwrite_existing);
    EXPECT_EQ(chown(folder.c_str(), owner, owner), 0);
    EXPECT_EQ(chown((folder / "Script.dll").c_str(), owner, owner), 0);
    return folder;
  }

  void ExpectRefused(const std::string& what) {
    WriteFile(Shared() / "state.dat", "state");
    ProgramRun run = Launch("Seven");
    EXPECT_EQ(run.out, "Failed to extract script from firmware!\n") << what;
    EXPECT_EQ(run.exit_status, 255) << what;
    EXPECT_FALSE(fs::exists(Loaded())) << what << ": the library was loaded";
    EXPECT_FALSE(fs::exists(Work() / "Launch.pyo")) << what << ": a module was written";
    EXPECT_TRUE(Purged()) << what;
  }

  void ExpectAccepted(const std::string& what) {
    ProgramRun run = Launch("Seven");
    EXPECT_EQ(run.exit_status, 7) << what << "\n" << run.out << run.err;
    EXPECT_TRUE(fs::exists(Loaded())) << what;
  }
};

TEST_F(FwlaunchTrustTest, AWorkingFolderAnotherUserControlsIsNeverUsed) {
  std::vector<std::pair<std::string, std::function<void()>>> cases = {
      {"the folder is another user's",
       [&] { ASSERT_EQ(chown(Work().c_str(), kOtherUser, kOtherGroup), 0); }},
      {"a link of another user's to a folder of theirs",
       [&] {
         fs::remove_all(Work());
         fs::create_directory_symlink(LibraryFolder("theirs", kOtherUser), Work());
         ASSERT_EQ(lchown(Work().c_str(), kOtherUser, kOtherGroup), 0);
       }},
      {"a link of another user's to a folder of root's, which they can point elsewhere",
       [&] {
         fs::remove_all(Work());
         fs::create_directory_symlink(LibraryFolder("roots", 0), Work());
         ASSERT_EQ(lchown(Work().c_str(), kOtherUser, kOtherGroup), 0);
       }},
      {"mode 1777", [&] { chmod(Work().c_str(), 01777); }},
      {"mode 0777", [&] { chmod(Work().c_str(), 0777); }},
      {"mode 0775 with another group",
       [&] {
         ASSERT_EQ(chown(Work().c_str(), 0, kOtherGroup), 0);
         chmod(Work().c_str(), 0775);
       }},
  };
  for (const auto& [what, plant] : cases) {
    ResetWork();
    plant();
    ExpectRefused(what);
  }
}

TEST_F(FwlaunchTrustTest, AScriptLibraryAnotherUserControlsIsNeverLoaded) {
  fs::path library = Work() / "Script.dll";
  std::vector<std::pair<std::string, std::function<void()>>> cases = {
      {"the library is another user's",
       [&] { ASSERT_EQ(chown(library.c_str(), kOtherUser, kOtherGroup), 0); }},
      {"the library is writable by others", [&] { chmod(library.c_str(), 0666); }},
      {"a link to another user's library",
       [&] {
         fs::remove(library);
         fs::create_symlink(LibraryFolder("theirs", kOtherUser) / "Script.dll", library);
       }},
      {"another user's link to root's library",
       [&] {
         fs::remove(library);
         fs::create_symlink(LibraryFolder("roots", 0) / "Script.dll", library);
         ASSERT_EQ(lchown(library.c_str(), kOtherUser, kOtherGroup), 0);
       }},
      // Neither may hold up the run: a FIFO would block the open, a device is never opened.
      {"a FIFO",
       [&] {
         fs::remove(library);
         ASSERT_EQ(mkfifo(library.c_str(), 0644), 0);
       }},
      {"a device",
       [&] {
         fs::remove(library);
         ASSERT_EQ(mknod(library.c_str(), S_IFCHR | 0644, makedev(1, 3)), 0);
       }},
  };
  for (const auto& [what, plant] : cases) {
    ResetWork();
    plant();
    ExpectRefused(what);
  }
}

TEST_F(FwlaunchTrustTest, TheUsersOwnFoldersAndLinksKeepWorking) {
  for (mode_t mode : {0700, 0755}) {
    ResetWork();
    chmod(Work().c_str(), mode);
    ExpectAccepted("mode " + std::to_string(mode));
  }
  ResetWork();
  fs::remove_all(Work());
  fs::create_directory_symlink(LibraryFolder("mine", 0), Work());
  ExpectAccepted("a link of root's own to a folder of root's");

  ResetWork();
  fs::remove(Work() / "Script.dll");
  fs::create_symlink(LibraryFolder("libraries", 0) / "Script.dll", Work() / "Script.dll");
  ExpectAccepted("a library that is a link of root's own");
}

TEST_F(FwlaunchTrustTest, AnOrdinaryUsersOwnFolderInAStickyTemporaryFolderIsUsed) {
  // As /tmp/QALM made by the user: a sticky folder everyone may write, and in it the user's own.
  chmod(Temp().c_str(), 01777);
  for (const fs::path& path : {Work(), Work() / "Script.dll"})
    ASSERT_EQ(chown(path.c_str(), kOtherUser, kOtherGroup), 0);
  options.user = kOtherUser;
  ProgramRun run = Launch("Seven");
  // The build tree's interpreter may lie where this user cannot read it; what is checked
  // here is that the library was trusted and the modules written.
  EXPECT_NE(run.out, "Failed to extract script from firmware!\n") << run.out << run.err;
  EXPECT_TRUE(fs::exists(Loaded()));
  EXPECT_TRUE(fs::exists(Work() / "Launch.pyo"));
}

TEST_F(FwlaunchTrustTest, AModuleNameLinkedToAnotherFileGetsAFileOfItsOwn) {
  fs::path precious = scratch.path() / "precious";
  WriteFile(precious, "precious");
  fs::create_hard_link(precious, Work() / "helper.pyo");
  ProgramRun run = Launch("UseHelper");
  EXPECT_EQ(run.exit_status, 42) << run.out << run.err;
  EXPECT_EQ(ReadFile(precious), "precious");
  EXPECT_TRUE(ReadFile(Work() / "helper.pyo") == ReadFile(Firmware() / "helper.pyo"));
}

TEST_F(FwlaunchTrustTest, ALaunchModuleThatIsAFifoOrADeviceFailsTheExtractionAtOnce) {
  fs::path launch = Work() / "Launch.pyo";
  std::vector<std::pair<std::string, std::function<void()>>> cases = {
      {"a FIFO", [&] { ASSERT_EQ(mkfifo(launch.c_str(), 0644), 0); }},
      {"a device", [&] { ASSERT_EQ(mknod(launch.c_str(), S_IFCHR | 0644, makedev(1, 3)), 0); }},
  };
  for (const char* list : {"helper.pyo\n", "Launch.pyo\nhelper.pyo\n"}) {
    for (const auto& [what, plant] : cases) {
      ResetWork();
      WriteFile(Firmware() / "SCRIPT_PYD", list);
      WriteFile(Shared() / "state.dat", "state");
      plant();
      ProgramRun run = Launch("Seven");
      EXPECT_EQ(run.out, "Failed to extract script from firmware!\n") << what << ", " << list;
      EXPECT_EQ(run.exit_status, 255) << what;
      EXPECT_TRUE(Purged()) << what;
      EXPECT_FALSE(fs::is_regular_file(launch)) << what << " was replaced";
    }
  }
}

}  // namespace
}  // namespace fwlaunch::testing
