// The launcher end to end, on both systems: command line, exit statuses, messages, module
// search, purge.
#include <cstdint>

#include "tests/launcher/fwlaunch_fixture.h"

namespace fwlaunch::testing {
namespace {

TEST_F(FwlaunchTest, TheFunctionGetsLibraryFirmwareAndFurtherArgumentsInOrder) {
  ProgramRun run = Launch("Echo");
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(SplitAtNul(run.out), (std::vector<std::string>{LibraryPath(), Firmware().string()}));

  std::vector<std::string> extra{"out file.hex", "it's \"quoted\"", "caf\xc3\xa9 \xff", ""};
  run = Launch("Echo", extra);
  EXPECT_EQ(run.exit_status, 6);
  std::vector<std::string> expected{LibraryPath(), Firmware().string()};
  expected.insert(expected.end(), extra.begin(), extra.end());
  EXPECT_EQ(SplitAtNul(run.out), expected);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(Purged());
}

TEST_F(FwlaunchTest, TheExitStatusIsTheFunctionsIntegerOrMinusOne) {
  struct Case {
    const char* function;
    int exit_status;
  };
  for (Case c : {Case{"Seven", 7}, Case{"Boolean", 1}, Case{"Smallest", Kept(INT32_MIN)},
                 Case{"Nothing", Kept(-1)}, Case{"Raise", Kept(-1)}, Case{"Exit", Kept(-1)},
                 Case{"TooLarge", Kept(-1)}, Case{"Text", Kept(-1)}}) {
    ProgramRun run = Launch(c.function);
    EXPECT_TRUE(run.exited) << c.function;
    EXPECT_EQ(run.exit_status, c.exit_status) << c.function;
    EXPECT_EQ(run.out, "") << c.function;
    EXPECT_EQ(run.err, "") << c.function << ": no trace is shown";
  }
}

TEST_F(FwlaunchTest, FailuresOfItsOwnStepsPrintExactlyOneLineAndStillPurge) {
  ProgramRun run = Launch("Missing");
  EXPECT_EQ(run.out, Line("Script function not in Launch.pyo!"));
  EXPECT_EQ(run.exit_status, Kept(-1));
  EXPECT_TRUE(Purged());

  for (const char* not_a_function : {"NOT_CALLABLE", "os.getpid", "helper.double", ""}) {
    run = Launch(not_a_function);
    EXPECT_EQ(run.out, Line("Script function not in Launch.pyo!")) << not_a_function;
  }

  WriteFile(Firmware() / "Launch.pyo", "not bytecode");
  run = Launch("Seven");
  EXPECT_EQ(run.out, Line("Failed to load Launch.pyo!"));
  EXPECT_EQ(run.exit_status, Kept(-1));
  EXPECT_EQ(run.err, "");

  WriteFile(Shared() / "state.dat", "state");
  fs::remove(Work() / "Script.dll");
  run = Launch("Seven");
  EXPECT_EQ(run.out, Line("Failed to extract script from firmware!"));
  EXPECT_EQ(run.exit_status, Kept(-1));
  EXPECT_TRUE(Purged());
}

TEST_F(FwlaunchTest, AFolderNamedLaunchIsLeftForTheImportToRefuse) {
  // Listed or not, the folder stays as it is, and the import cannot load it.
  for (const char* list : {"Launch.pyo\nhelper.pyo\n", "helper.pyo\n"}) {
    fs::remove_all(Work() / "Launch.pyo");
    fs::create_directories(Work() / "Launch.pyo");
    WriteFile(Work() / "Launch.pyo" / "inside.txt", "inside");
    WriteFile(Firmware() / "SCRIPT_PYD", list);
    WriteFile(Shared() / "state.dat", "state");
    ProgramRun run = Launch("Seven");
    EXPECT_EQ(run.out, Line("Failed to load Launch.pyo!")) << list;
    EXPECT_EQ(run.exit_status, Kept(-1)) << list;
    EXPECT_TRUE(Purged()) << list;
    EXPECT_TRUE(fs::is_directory(Work() / "Launch.pyo")) << list;
    EXPECT_EQ(ReadFile(Work() / "Launch.pyo" / "inside.txt"), "inside") << list;
    EXPECT_TRUE(fs::exists(Work() / "helper.pyo")) << list;
  }
}

TEST_F(FwlaunchTest, ExtractionFailsWhenTheListNamesNoLaunch) {
  WriteFile(Firmware() / "SCRIPT_PYD", "helper.pyo\nLaunch.pyo");  // no LF after Launch
  ProgramRun run = Launch("Seven");
  EXPECT_EQ(run.out, Line("Failed to extract script from firmware!"));
  EXPECT_TRUE(fs::exists(Work() / "helper.pyo"));
}

TEST_F(FwlaunchTest, ACrashInTheLibraryOrTheInterpreterIsAnUnknownException) {
  WriteFile(Firmware() / "COUNTS", "helper.pyo crash\n");
  ProgramRun run = Launch("Seven");
  EXPECT_EQ(run.out, Line("Unknown Exception!"));
  EXPECT_EQ(run.exit_status, Kept(-1));
  EXPECT_TRUE(Purged());

  // A fault inside an extension module.
  fs::remove(Firmware() / "COUNTS");
  WriteFile(Shared() / "state.dat", "state");
  run = Launch("CrashInExtension");
  EXPECT_EQ(run.out, Line("Unknown Exception!"));
  EXPECT_EQ(run.exit_status, Kept(-1));
  EXPECT_TRUE(Purged());
}

TEST_F(FwlaunchTest, AFunctionThatEndsTheProcessStillGetsThePurge) {
  ProgramRun run = Launch("EndProcess");
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(Purged());
}

TEST_F(FwlaunchTest, FirmwareModulesFindEachOtherTheirExtensionsAndTheStandardLibrary) {
  EXPECT_EQ(Launch("UseHelper").exit_status, 42);
  EXPECT_EQ(Launch("UseExtension").exit_status, 42);
  ProgramRun run = Launch("UseStandardLibrary");
  EXPECT_EQ(run.exit_status, 4) << run.out << run.err;
}

TEST_F(FwlaunchTest, PydModulesLoadFromTheWorkingFolderAndItsPackages) {
  fs::create_directories(Work() / "pkg");
  fs::create_directories(Firmware() / "pkg");
  fs::copy_file(fs::path(FWLAUNCH_TEST_MODULES) / "pkg" / "__init__.pyo",
                Firmware() / "pkg" / "__init__.pyo");
  fs::copy_file(Firmware() / "pydtest.pyd", Firmware() / "pkg" / "pydtest.pyd");
  WriteFile(Firmware() / "SCRIPT_PYD",
            "Launch.pyo\npydtest.pyd\npkg/__init__.pyo\npkg/pydtest.pyd\n");
  EXPECT_EQ(Launch("UsePackageExtension").exit_status, 42);
}

// sys.path: the working folder, then the interpreter's own standard library: the folder beside
// its library on Linux, python27.zip and DLLs\ beside python27.dll on Windows.
TEST_F(FwlaunchTest, TheInterpreterRunsOptimisedWithoutSiteFromTheWorkingFolder) {
  ProgramRun run = Launch("Describe");
  ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find(Line("optimize=2 no_site=1")), std::string::npos) << run.out;
#if defined(_WIN32)
  std::string interpreter = fs::absolute(FWLAUNCH_TESTING_BINARY).parent_path().string();
  std::string path =
      WorkingFolder() + "|" + interpreter + "\\python27.zip|" + interpreter + "\\DLLs";
  std::string prefix = WorkingFolder();
#else
  std::string path = WorkingFolder() + "|" + FWLAUNCH_PYTHON_STDLIB + "|";
  std::string prefix = Work().string();
#endif
  EXPECT_NE(run.out.find("path=" + path), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(Line("prefix=" + prefix)), std::string::npos) << run.out;
  // As an interpreter started without a script has it.
  EXPECT_NE(run.out.find(Line("argv=['']")), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(Line("site=False")), std::string::npos) << run.out;
  EXPECT_EQ(run.err, "");
}

// A script that starts Python (subprocess with sys.executable, a pool of workers) gets the
// interpreter it runs in, and no worker starts a run of the launcher.
TEST_F(FwlaunchTest, AScriptStartsThePythonItRunsIn) {
  ProgramRun run = Launch("StartPython");
  EXPECT_EQ(run.exit_status, 3) << run.out << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(Purged());
}

// The modules of the standard build that wrap libraries: hashlib through OpenSSL (its own
// md5, and ripemd160, which only OpenSSL has), ssl, bz2 and sqlite3.
TEST_F(FwlaunchTest, HashlibSslBz2AndSqliteAreTheStandardBuilds) {
  ProgramRun run = Launch("StandardModules");
  EXPECT_EQ(run.exit_status, 6) << run.out << run.err;
}

// Where the interpreter's build could differ from the standard one (Windows' C library and
// compiler), it does not: math.expm1 at -inf, array.fromfile on a file opened for writing,
// the standard library's lines in a traceback, PyOS_CheckStack, an overflow seen in a result
// the x87 returns, times past 2038, a closed descriptor refused, and the errno of a refused
// connection.
TEST_F(FwlaunchTest, TheInterpreterBehavesAsTheStandardBuild) {
  ProgramRun run = Launch("StandardBehaviour");
  EXPECT_EQ(run.exit_status, 8) << run.out << run.err;
}

TEST_F(FwlaunchTest, AScriptReadsItsFurtherArgumentsWithArgparse) {
  EXPECT_EQ(Launch("ParseArguments", {"--count", "3", "image"}).exit_status, 23);
  // argparse's own error path (usage on standard error, SystemExit) ends the function.
  ProgramRun run = Launch("ParseArguments", {"--count", "three", "image"});
  EXPECT_EQ(run.exit_status, Kept(-1));
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("invalid int value: 'three'"), std::string::npos) << run.err;
}

TEST_F(FwlaunchTest, ShortCommandLinesPrintUsageAndTouchNothing) {
  ProgramRun run = Run({"unread", Firmware().string()});
  EXPECT_EQ(run.exit_status, 255) << "a usage error's own status";
  EXPECT_EQ(run.out, Line("usage: fwlaunch ANY FIRMWARE FUNCTION [ARGUMENT...]"));
  EXPECT_FALSE(Purged());
  EXPECT_FALSE(fs::exists(Firmware() / "calls.log"));

  run = Run({"--help"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out.rfind("usage: fwlaunch ", 0), 0u);
  // The two folders a run uses, as they are for this user now.
  EXPECT_NE(run.out.find(Line("working folder now:  " + WorkingFolder())), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(Line("shared data folder:  " + Shared().string() + kSeparator)),
            std::string::npos)
      << run.out;
  run = Run({"--version"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out, Line(std::string("fwlaunch ") + FWLAUNCH_VERSION_TEXT));
  EXPECT_FALSE(Purged());
}

TEST_F(FwlaunchTest, TheLibraryIsSpokenToAsItExpects) {
  ASSERT_EQ(Launch("Seven").exit_status, 7);
  std::string calls = ReadFile(Firmware() / "calls.log");
  EXPECT_EQ(calls,
            "QueryCfg SCRIPT_PYD\nOpenFirmware\nReadFileInFW Launch.pyo\n"
            "ReadFileInFW helper.pyo\nReadFileInFW pydtest.pyd\n");
}

}  // namespace
}  // namespace fwlaunch::testing
