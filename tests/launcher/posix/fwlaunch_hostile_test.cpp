// Broken and hostile script libraries, module lists, working folders and arguments.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "tests/launcher/fwlaunch_fixture.h"

namespace fwlaunch::testing {
namespace {

TEST_F(FwlaunchTest, ACrashInAnyLibraryOperationIsAnUnknownException) {
  for (const char* operation : {"QueryCfg", "OpenFirmware"}) {
    WriteFile(Shared() / "state.dat", "state");
    WriteFile(Firmware() / "CRASH_IN", operation);
    ProgramRun run = Launch("Seven");
    EXPECT_EQ(run.out, "Unknown Exception!\n") << operation;
    EXPECT_EQ(run.exit_status, 255);
    EXPECT_TRUE(Purged());
  }
}

TEST_F(FwlaunchTest, UnusableLibrariesFailTheExtraction) {
  for (std::string content : {std::string(), std::string("\x7f"
                                                         "ELF\x02\x01\x01",
                                                         7) +
                                                 std::string(3000, '\x90')}) {
    WriteFile(Work() / "Script.dll", content);
    ProgramRun run = Launch("Seven");
    EXPECT_EQ(run.out, "Failed to extract script from firmware!\n");
    EXPECT_EQ(run.exit_status, 255);
  }
  fs::remove(Work() / "Script.dll");
  fs::create_directory(Work() / "Script.dll");
  EXPECT_EQ(Launch("Seven").out, "Failed to extract script from firmware!\n");
  fs::remove(Work() / "Script.dll");
  fs::copy_file(FWLAUNCH_INCOMPLETE_LIBRARY, Work() / "Script.dll");
  EXPECT_EQ(Launch("Seven").out, "Failed to extract script from firmware!\n");
}

TEST_F(FwlaunchTest, HostileListsNeverWriteOutsideTheWorkingFolder) {
  fs::create_directory(Work() / "sub");
  // An absolute name pointing into the scratch folder, where a file would be seen.
  std::string absolute = (scratch.path() / "absolute.pyo").string();
  WriteFile(Firmware() / "COUNTS",
            "../escape.pyo 5\n" + absolute + " 5\nsub/../../escape2.pyo 5\n");
  std::vector<std::string> lists{
      "../escape.pyo\n" + absolute + "\nsub/../../escape2.pyo\nLaunch.pyo\n",
      std::string(500, '\n') + "Launch.pyo\n",
      "Launch.pyo\nLaunch.pyo\nwith space.pyo\nnon-ascii-\xe9\xff.pyo\n" + std::string(123, 'a') +
          ".pyo\n" + std::string(124, 'b') + ".pyo\n",
      "Launch.pyo\n" + std::string(996, 'c') + ".pyo\n",
      "Launch.pyo\n" + std::string(1100, 'x'),  // fills the buffer with no NUL
  };
  for (const std::string& list : lists) {
    WriteFile(Firmware() / "SCRIPT_PYD", list);
    ProgramRun run = Launch("Seven");
    EXPECT_EQ(run.exit_status, 7) << run.out;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_FALSE(fs::exists(Temp() / "escape.pyo"));
  EXPECT_FALSE(fs::exists(Temp() / "escape2.pyo"));
  EXPECT_FALSE(fs::exists(absolute));
  EXPECT_EQ(std::distance(fs::directory_iterator(Temp()), fs::directory_iterator()), 1)
      << "only the working folder stands in the temporary folder";
  EXPECT_TRUE(fs::exists(Work() / "with space.pyo"));
  EXPECT_TRUE(fs::exists(Work() / "non-ascii-\xe9\xff.pyo"));
  EXPECT_TRUE(fs::exists(Work() / (std::string(123, 'a') + ".pyo")));
  EXPECT_FALSE(fs::exists(Work() / (std::string(124, 'b') + ".pyo")));
  std::string calls = ReadFile(Firmware() / "calls.log");
  EXPECT_EQ(calls.find("escape"), std::string::npos) << "never asked for";
  EXPECT_EQ(calls.find("absolute"), std::string::npos) << "never asked for";
  EXPECT_EQ(calls.find("VIOLATION"), std::string::npos) << calls;
}

TEST_F(FwlaunchTest, AMissingOrUnwritableWorkingFolderFailsCleanly) {
  fs::rename(Work(), scratch.path() / "aside");
  ProgramRun run = Launch("Seven");
  EXPECT_EQ(run.out, "Failed to extract script from firmware!\n");
  EXPECT_TRUE(Purged());

  WriteFile(Work(), "a file where the folder should be");
  EXPECT_EQ(Launch("Seven").out, "Failed to extract script from firmware!\n");
  fs::remove(Work());

  // Read-only (the test runs as root, whom mode bits do not bind unless it gives that up).
  fs::rename(scratch.path() / "aside", Work());
  chmod(Work().c_str(), 0555);
  options.obey_file_modes = true;
  run = Launch("Seven");
  EXPECT_EQ(run.out, "Failed to extract script from firmware!\n");
  EXPECT_EQ(run.exit_status, 255);
  EXPECT_FALSE(fs::exists(Work() / "Launch.pyo"));
}

TEST_F(FwlaunchTest, AModuleCutShortByAFullDiskIsRemoved) {
  WriteFile(Firmware() / "big.pyd", std::string(1 << 20, 'b'));
  WriteFile(Firmware() / "SCRIPT_PYD", "Launch.pyo\nhelper.pyo\nbig.pyd\n");
  options.file_size_limit = 64 * 1024;
  ProgramRun run = Launch("Seven");
  EXPECT_EQ(run.exit_status, 7) << run.out;
  EXPECT_FALSE(fs::exists(Work() / "big.pyd"));

  ASSERT_TRUE(fs::exists(Work() / "Launch.pyo"));
  options.file_size_limit = 1000;  // smaller than Launch.pyo
  run = Launch("Seven");
  EXPECT_EQ(run.out, "Failed to extract script from firmware!\n");
  EXPECT_FALSE(fs::exists(Work() / "Launch.pyo")) << "not left cut short";
}

TEST_F(FwlaunchTest, ClosedStandardStreamsChangeNothing) {
  // A library that prints while it reads must not print into a module.
  WriteFile(Firmware() / "CHATTER", "");
  for (std::vector<int> closed : {std::vector<int>{0}, {1}, {2}, {0, 1}, {0, 1, 2}}) {
    fs::remove_all(Work() / "Launch.pyo");
    fs::remove_all(Work() / "helper.pyo");
    options.closed_streams = closed;
    ProgramRun run = Launch("UseHelper");
    std::string which = "closed:";
    for (int stream : closed) which += " " + std::to_string(stream);
    EXPECT_EQ(run.exit_status, 42) << which << "\n" << run.out << run.err;
    for (const char* module : {"Launch.pyo", "helper.pyo"})
      EXPECT_TRUE(ReadFile(Work() / module) == ReadFile(Firmware() / module)) << which << module;
  }
}

TEST_F(FwlaunchTest, AShellFileSizeLimitLeavesNoCutModule) {
  WriteFile(Firmware() / "big.pyd", std::string(1 << 20, 'b'));
  WriteFile(Firmware() / "SCRIPT_PYD", "Launch.pyo\nhelper.pyo\nbig.pyd\n");
  // As "ulimit -f" leaves it: SIGXFSZ at its default, which would end the process mid-write.
  options.file_size_limit = 64 * 1024;
  options.file_size_signal_ignored = false;
  ProgramRun run = Launch("Seven");
  EXPECT_EQ(run.exit_status, 7) << run.out;
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(fs::exists(Work() / "big.pyd")) << "a module cut at the limit was left";
  EXPECT_TRUE(Purged());
}

TEST_F(FwlaunchTest, NothingButARegularFileIsWrittenUnderAModulesName) {
  ASSERT_EQ(mkfifo((Work() / "waiting.pyo").c_str(), 0644), 0);
  // A device like /dev/null, which would swallow the module.
  ASSERT_EQ(mknod((Work() / "device.pyd").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
  WriteFile(Firmware() / "waiting.pyo", "never");
  WriteFile(Firmware() / "device.pyd", "never");
  WriteFile(Firmware() / "SCRIPT_PYD", "waiting.pyo\ndevice.pyd\nLaunch.pyo\n");
  ProgramRun run = Launch("Seven");
  EXPECT_EQ(run.exit_status, 7) << run.out;
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(fs::is_fifo(Work() / "waiting.pyo"));
  EXPECT_TRUE(fs::is_character_file(Work() / "device.pyd"));
  std::string calls = ReadFile(Firmware() / "calls.log");
  EXPECT_EQ(calls.find("waiting.pyo"), std::string::npos) << "skipped without asking the library";
  EXPECT_EQ(calls.find("device.pyd"), std::string::npos);
}

TEST_F(FwlaunchTest, PathsAndArgumentsWithAnyBytesArriveUnchanged) {
  fs::path odd = scratch.path() / "fw dir 'single' \"double\" caf\xc3\xa9 \xff";
  fs::rename(Firmware(), odd);
  ProgramRun run = Run({"unread", odd.string(), "Echo", " lead", "trail ", "tab\there", "$HOME"});
  EXPECT_EQ(run.exit_status, 6) << run.out;
  EXPECT_EQ(SplitAtNul(run.out), (std::vector<std::string>{LibraryPath(), odd.string(), " lead",
                                                           "trail ", "tab\there", "$HOME"}));
}

}  // namespace
}  // namespace fwlaunch::testing
