// The launcher end to end: command line, exit statuses, messages, module search, purge.
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
  for (Case c : {Case{"Seven", 7}, Case{"Boolean", 1}, Case{"Smallest", 0}, Case{"Nothing", 255},
                 Case{"Raise", 255}, Case{"Exit", 255}, Case{"TooLarge", 255},
                 Case{"Text", 255}}) {
    ProgramRun run = Launch(c.function);
    EXPECT_TRUE(run.exited) << c.function;
    EXPECT_EQ(run.exit_status, c.exit_status) << c.function;
    EXPECT_EQ(run.out, "") << c.function;
    EXPECT_EQ(run.err, "") << c.function << ": no trace is shown";
  }
}

TEST_F(FwlaunchTest, FailuresOfItsOwnStepsPrintExactlyOneLineAndStillPurge) {
  ProgramRun run = Launch("Missing");
  EXPECT_EQ(run.out, "Script function not in Launch.pyo!\n");
  EXPECT_EQ(run.exit_status, 255);
  EXPECT_TRUE(Purged());

  for (const char* not_a_function : {"NOT_CALLABLE", "os.getpid", "helper.double", ""}) {
    run = Launch(not_a_function);
    EXPECT_EQ(run.out, "Script function not in Launch.pyo!\n") << not_a_function;
  }

  WriteFile(Firmware() / "Launch.pyo", "not bytecode");
  run = Launch("Seven");
  EXPECT_EQ(run.out, "Failed to load Launch.pyo!\n");
  EXPECT_EQ(run.exit_status, 255);
  EXPECT_EQ(run.err, "");

  WriteFile(Shared() / "state.dat", "state");
  fs::remove(Work() / "Script.dll");
  run = Launch("Seven");
  EXPECT_EQ(run.out, "Failed to extract script from firmware!\n");
  EXPECT_EQ(run.exit_status, 255);
  EXPECT_TRUE(Purged());
}

TEST_F(FwlaunchTest, ExtractionFailsWhenTheListNamesNoLaunch) {
  WriteFile(Firmware() / "SCRIPT_PYD", "helper.pyo\nLaunch.pyo");  // no LF after Launch
  ProgramRun run = Launch("Seven");
  EXPECT_EQ(run.out, "Failed to extract script from firmware!\n");
  EXPECT_TRUE(fs::exists(Work() / "helper.pyo"));
}

TEST_F(FwlaunchTest, ACrashInTheLibraryOrTheInterpreterIsAnUnknownException) {
  WriteFile(Firmware() / "COUNTS", "helper.pyo crash\n");
  ProgramRun run = Launch("Seven");
  EXPECT_EQ(run.out, "Unknown Exception!\n");
  EXPECT_EQ(run.exit_status, 255);
  EXPECT_TRUE(Purged());

  fs::remove(Firmware() / "COUNTS");
  WriteFile(Shared() / "state.dat", "state");
  run = Launch("Crash");
  EXPECT_EQ(run.out, "Unknown Exception!\n");
  EXPECT_EQ(run.exit_status, 255);
  EXPECT_TRUE(Purged());
}

TEST_F(FwlaunchTest, AFunctionThatEndsTheProcessStillGetsThePurge) {
  ProgramRun run = Launch("EndProcess");
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(Purged());
}

TEST_F(FwlaunchTest, AKeyboardInterruptEndsTheFunctionQuietlyAndThePurgeRuns) {
  fs::path marker = scratch.path() / "ready";
  options.controlling_terminal = true;
  RunningProgram program = Start("Interrupt", {marker.string()});
  ASSERT_TRUE(WaitForFile(marker));
  program.TypeInterrupt();
  ProgramRun run = program.Wait();
  EXPECT_TRUE(run.exited);
  EXPECT_EQ(run.exit_status, 255);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(Purged());
}

TEST_F(FwlaunchTest, FirmwareModulesFindEachOtherTheirExtensionsAndTheStandardLibrary) {
  EXPECT_EQ(Launch("UseHelper").exit_status, 42);
  EXPECT_EQ(Launch("UseExtension").exit_status, 42);
  ProgramRun run = Launch("UseStandardLibrary");
  EXPECT_EQ(run.exit_status, 4) << run.out << run.err;
}

TEST_F(FwlaunchTest, PydModulesLoadFromTheWorkingFolderAndItsPackagesOnly) {
  fs::create_directories(Work() / "pkg");
  fs::create_directories(Firmware() / "pkg");
  fs::copy_file(fs::path(FWLAUNCH_TEST_MODULES) / "pkg" / "__init__.pyo",
                Firmware() / "pkg" / "__init__.pyo");
  fs::copy_file(Firmware() / "pydtest.pyd", Firmware() / "pkg" / "pydtest.pyd");
  WriteFile(Firmware() / "SCRIPT_PYD",
            "Launch.pyo\npydtest.pyd\npkg/__init__.pyo\npkg/pydtest.pyd\n");
  EXPECT_EQ(Launch("UsePackageExtension").exit_status, 42);

  fs::path elsewhere = scratch.path() / "elsewhere";
  fs::create_directories(elsewhere);
  fs::copy_file(Firmware() / "pydtest.pyd", elsewhere / "outside.pyd");
  fs::copy_file(Firmware() / "pydtest.pyd", Work() / "sys.pyd");
  ProgramRun run = Launch("FinderBounds", {elsewhere.string()});
  EXPECT_EQ(run.exit_status, 0) << run.out << run.err;
}

TEST_F(FwlaunchTest, TheInterpreterRunsOptimisedWithoutSiteFromTheWorkingFolder) {
  ProgramRun run = Launch("Describe");
  ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("optimize=2 no_site=1\n"), std::string::npos) << run.out;
  std::string path_line = "path=" + Work().string() + "/:" + FWLAUNCH_PYTHON_STDLIB + ":";
  EXPECT_NE(run.out.find(path_line), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("prefix=" + Work().string() + "\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("argv=absent\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("site=False\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.err, "");
}

// The signals as a bare start of the interpreter leaves them.
TEST_F(FwlaunchTest, SignalsAreHandledAsInABareStartOfTheInterpreter) {
  ASSERT_EQ(Launch("Seven").exit_status, 7);  // the modules are in the working folder now
  ProgramRun bare = RunProgram(FWLAUNCH_PYTHON, {"-OO", "-S", "-c",
      "import sys; sys.path.insert(0, '" + Work().string() + "/'); import Launch; "
      "Launch.Signals()"}, options);
  ProgramRun launched = Launch("Signals");
  EXPECT_EQ(launched.out, bare.out);
  EXPECT_NE(bare.out.find("SIGINT=default_int_handler SIGPIPE=1 SIGXFSZ=1"), std::string::npos)
      << bare.out;
}

// Loaded when first needed, the codecs still come from the standard library alone: firmware
// modules named like them are never what a script gets.
TEST_F(FwlaunchTest, TheCodecsAreTheStandardLibrarysWhateverTheFirmwareCarries) {
  for (const char* name : {"codecs.pyo", "encodings.pyo", "codecs.pyd"})
    fs::copy_file(Firmware() / (name == std::string("codecs.pyd") ? "pydtest.pyd" : "helper.pyo"),
                  Firmware() / name);
  WriteFile(Firmware() / "SCRIPT_PYD",
            "Launch.pyo\nhelper.pyo\ncodecs.pyo\nencodings.pyo\ncodecs.pyd\n");
  for (const char* order : {"import-first", "encode-first"}) {
    ProgramRun run = Launch("Codecs", {order});
    EXPECT_EQ(run.exit_status, 0) << order << run.out << run.err;
  }
  EXPECT_TRUE(fs::exists(Work() / "codecs.pyo"));
}

// The same as a bare start of the interpreter: the file system's encoding from the locale, and a
// terminal's encoding for each standard stream that is one.
TEST_F(FwlaunchTest, EncodingsMatchABareStartOfTheInterpreter) {
  const std::string bare_command =
      std::string(FWLAUNCH_PYTHON) + " -OO -S -c \"import sys; sys.path.insert(0, '" +
      Work().string() + "/'); import Launch; Launch.Encodings()\"";
  const std::string launch_command = std::string(FWLAUNCH_TESTING_BINARY) + " x '" +
                                     Firmware().string() + "' Encodings";
  ASSERT_EQ(Launch("Seven").exit_status, 7);  // the modules are in the working folder now
  // Besides the system's own: a character set the interpreter has a codec for, which it must
  // look up, and one it has none for.
  fs::path locales = scratch.path() / "locales";
  fs::create_directories(locales);
  for (auto [source, charset] : {std::pair{"ru_RU", "KOI8-R"}, std::pair{"hy_AM", "ARMSCII-8"}}) {
    ProgramRun made = RunProgram("/usr/bin/localedef", {"-i", source, "-f", charset,
                                 (locales / (std::string(source) + "." + charset)).string()});
    ASSERT_EQ(made.exit_status, 0) << made.out << made.err;
  }
  options.environment["LOCPATH"] = locales.string();
  for (const char* locale : {"C.UTF-8", "C", "ru_RU.KOI8-R", "hy_AM.ARMSCII-8"}) {
    options.environment["LC_ALL"] = locale;
    // Through a pipe, and through a terminal that script(1) gives all three streams.
    for (bool terminal : {false, true}) {
      auto run = [&](const std::string& command) {
        if (terminal) return RunProgram("/usr/bin/script", {"-qec", command, "/dev/null"}, options);
        return RunProgram("/bin/sh", {"-c", command}, options);
      };
      ProgramRun bare = run(bare_command);
      ProgramRun launched = run(launch_command);
      EXPECT_EQ(launched.out, bare.out) << locale << (terminal ? " on a terminal" : " piped");
      EXPECT_NE(bare.out.find(terminal ? "stdout=" : "stdout=None"), std::string::npos);
    }
  }
}

TEST_F(FwlaunchTest, WithoutATemporaryFolderTheWorkingFolderIsQalmHere) {
  fs::path here = scratch.path() / "here";
  fs::create_directories(here);
  fs::rename(Work(), here / "QALM");
  options.environment["TMPDIR"] = (scratch.path() / "absent").string();
  options.working_directory = here.string();
  ProgramRun run = Launch("Echo");
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(SplitAtNul(run.out).front(), "QALM/Script.dll");
  EXPECT_TRUE(fs::exists(here / "QALM" / "helper.pyo"));
}

TEST_F(FwlaunchTest, ShortCommandLinesPrintUsageAndTouchNothing) {
  ProgramRun run = Run({"unread", Firmware().string()});
  EXPECT_EQ(run.exit_status, 255);
  EXPECT_EQ(run.out.rfind("usage: fwlaunch ", 0), 0u) << run.out;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
  EXPECT_FALSE(Purged());
  EXPECT_FALSE(fs::exists(Firmware() / "calls.log"));

  run = Run({"--help"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out.rfind("usage: fwlaunch ", 0), 0u);
  // The two folders a run uses, as they are for this user now.
  EXPECT_NE(run.out.find("working folder now:  " + Work().string() + "/\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("shared data folder:  " + Shared().string() + "/\n"), std::string::npos)
      << run.out;
  run = Run({"--version"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out, std::string("fwlaunch ") + FWLAUNCH_VERSION_TEXT + "\n");
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
