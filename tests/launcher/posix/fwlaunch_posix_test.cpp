// The launcher end to end on Linux alone: terminals and signals, the .pyd finder of the linked
// interpreter, the codecs it loads when first needed, the locale's encodings, and a system
// that reports no temporary folder.
#include <algorithm>

#include "tests/launcher/fwlaunch_fixture.h"

namespace fwlaunch::testing {
namespace {

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

// The signals as a bare start of the interpreter leaves them.
TEST_F(FwlaunchTest, SignalsAreHandledAsInABareStartOfTheInterpreter) {
  ASSERT_EQ(Launch("Seven").exit_status, 7);  // the modules are in the working folder now
  ProgramRun bare = RunProgram(FWLAUNCH_PYTHON,
                               {"-OO", "-S", "-c",
                                "import sys; sys.path.insert(0, '" + Work().string() +
                                    "/'); import Launch; "
                                    "Launch.Signals()"},
                               options);
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
  const std::string bare_command = std::string(FWLAUNCH_PYTHON) +
                                   " -OO -S -c \"import sys; sys.path.insert(0, '" +
                                   Work().string() + "/'); import Launch; Launch.Encodings()\"";
  const std::string launch_command =
      std::string(FWLAUNCH_TESTING_BINARY) + " x '" + Firmware().string() + "' Encodings";
  ASSERT_EQ(Launch("Seven").exit_status, 7);  // the modules are in the working folder now
  // Besides the system's own: a character set the interpreter has a codec for, which it must
  // look up, and one it has none for.
  fs::path locales = scratch.path() / "locales";
  fs::create_directories(locales);
  for (auto [source, charset] : {std::pair{"ru_RU", "KOI8-R"}, std::pair{"hy_AM", "ARMSCII-8"}}) {
    ProgramRun made = RunProgram(
        "/usr/bin/localedef",
        {"-i", source, "-f", charset, (locales / (std::string(source) + "." + charset)).string()});
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

// Whatever python comes first on PATH, a script that starts Python gets the one it runs in.
TEST_F(FwlaunchTest, AScriptStartsThePythonItRunsInNotOneOnPath) {
  fs::path decoy = scratch.path() / "decoy";
  fs::create_directories(decoy);
  for (const char* name : {"python", "python2", "python2.7"}) {
    WriteFile(decoy / name, "#!/bin/sh\nexit 9\n");
    fs::permissions(decoy / name, fs::perms::owner_all);
  }
  options.environment["PATH"] = decoy.string() + ":/usr/bin:/bin";
  ProgramRun run = Launch("StartPython");
  EXPECT_EQ(run.exit_status, 3) << run.out << run.err;
  EXPECT_TRUE(Purged());
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

// The .pyd finder answers for the working folder and its packages only.
TEST_F(FwlaunchTest, ThePydFinderAnswersForTheWorkingFolderAlone) {
  fs::path elsewhere = scratch.path() / "elsewhere";
  fs::create_directories(elsewhere);
  fs::copy_file(Firmware() / "pydtest.pyd", elsewhere / "outside.pyd");
  fs::copy_file(Firmware() / "pydtest.pyd", Work() / "sys.pyd");
  ProgramRun run = Launch("FinderBounds", {elsewhere.string()});
  EXPECT_EQ(run.exit_status, 0) << run.out << run.err;
}

}  // namespace
}  // namespace fwlaunch::testing
