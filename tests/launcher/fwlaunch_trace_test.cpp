// The diagnostic twin, on both systems: the same run as fwlaunch, with every step told on
// standard error.
#include "tests/launcher/fwlaunch_trace_fixture.h"

namespace fwlaunch::testing {
namespace {

TEST_F(FwlaunchTraceTest, TellsWhyTheLibraryFailed) {
  fs::remove(Work() / "Script.dll");
  ProgramRun run = Both("Seven");
  ExpectSaid(run, "the script library is not loaded: " + LibraryPath());

  // A file that is no shared object: the loader's own words, naming the file by its path.
  WriteFile(Work() / "Script.dll", "not a library");
  run = Both("Seven");
  ExpectSaid(run, "the script library does not load: " + LibraryPath() + ": ");

  fs::copy_file(FWLAUNCH_INCOMPLETE_LIBRARY, Work() / "Script.dll",
                fs::copy_options::overwrite_existing);
  run = Both("Seven");
  ExpectSaid(run, "the script library lacks the export Py_QueryCfg");
}

TEST_F(FwlaunchTraceTest, TellsEachEntrysFateAndWhoWroteLaunch) {
  WriteFile(Firmware() / "SCRIPT_PYD", "Launch.pyo\nnotes.txt\n../out.pyo\nhelper.pyo\n");
  ProgramRun run = Both("UseHelper");
  EXPECT_EQ(run.exit_status, 42);
  ExpectSaid(run, "module list as received (43 characters): Launch.pyo\\nnotes.txt\\n");
  ExpectSaid(run, "wrote Launch.pyo: ");
  ExpectSaid(run, "skipped notes.txt: it ends in neither .pyd nor .pyo");
  ExpectSaid(run, "skipped ../out.pyo: it would lead out of the working folder");
  ExpectSaid(run, "Launch.pyo was written by this run");
  ExpectSaid(run, "Launch.UseHelper returned 42");
  ExpectSaid(run, "purge: removed state.dat");
  ExpectSaid(run, "purge: left sub: a folder");

  // A list without Launch.pyo: the one the run before left is what runs.
  WriteFile(Firmware() / "SCRIPT_PYD", "helper.pyo\n");
  run = Both("Seven");
  EXPECT_EQ(run.exit_status, 7);
  ExpectSaid(run, "Launch.pyo was NOT written by this run");
}

TEST_F(FwlaunchTraceTest, ShowsTheTracebacksFwlaunchKeepsQuiet) {
  ProgramRun run = Both("Raise");
  EXPECT_EQ(run.exit_status, Kept(-1));
  ExpectSaid(run, "Traceback (most recent call last):");
  ExpectSaid(run, "RuntimeError: the conversion failed");
  ExpectSaid(run, "Launch.Raise raised: exit status -1");

  // The standard library's frames show their source lines, read from wherever the library
  // is kept (python27.zip on Windows).
  run = Both("RaiseInLibrary");
  ExpectSaid(run, "    obj, end = self.scan_once(s, idx)");
  ExpectSaid(run, "ValueError: Expecting object");

  run = Both("Exit");  // SystemExit is shown, not obeyed
  EXPECT_EQ(run.exit_status, Kept(-1));
  ExpectSaid(run, "Launch.Exit raised");

  run = Both("Text");
  ExpectSaid(run, "Launch.Text returned '7', which is no 32-bit integer");
  run = Both("TooLarge");
  // On 32-bit Windows 2 ** 31 is a long: its repr ends in L there.
  ExpectSaid(run, "Launch.TooLarge returned 2147483648");
  ExpectSaid(run, ", which is no 32-bit integer: exit status -1");

  run = Both("Missing");
  ExpectSaid(run, "Launch has no top-level name Missing");
  WriteFile(Firmware() / "Launch.pyo", "not bytecode");
  run = Both("Seven");
  EXPECT_EQ(run.out, Line("Failed to load Launch.pyo!"));
  ExpectSaid(run, "Launch could not be imported");
}

TEST_F(FwlaunchTraceTest, TellsHowTheScriptsProcessEnded) {
  ProgramRun run = Both("CrashInExtension");
  EXPECT_EQ(run.out, Line("Unknown Exception!"));
  ExpectSaid(run, "the script's process crashed");
  ExpectSaid(run, "purge: removed state.dat");
}

// What the library answered about the image, and, when the run goes on with a Launch.pyo an
// earlier run left, why: a mistyped firmware path must not pass unnoticed.
TEST_F(FwlaunchTraceTest, TellsTheImagesStory) {
  fs::remove(Work() / "Script.dll");
  fs::copy_file(FWLAUNCH_REFERENCE_LIBRARY, Work() / "Script.dll");
  fs::path image = scratch.path() / "packed.fw";
  // Launch.pyo last: the image's last bytes are its data.
  ASSERT_EQ(
      RunProgram(FWLAUNCH_FWPACK, {"create", image.string(), (Firmware() / "helper.pyo").string(),
                                   (Firmware() / "Launch.pyo").string()})
          .exit_status,
      0);
  auto both = [&](const fs::path& firmware) {
    std::vector<std::string> arguments{"unread", firmware.string(), "Seven"};
    ProgramRun traced = RunProgram(FWLAUNCH_TRACE_BINARY, arguments, options);
    EXPECT_EQ(RunProgram(FWLAUNCH_TESTING_BINARY, arguments, options).exit_status,
              traced.exit_status);
    return traced;
  };
  ProgramRun run = both(image);
  EXPECT_EQ(run.exit_status, 7) << run.err;
  ExpectSaid(run, "the firmware " + image.string() + " is a readable file of " +
                      std::to_string(fs::file_size(image)) + " bytes");
  ExpectSaid(run, "Py_QueryCfg answered ");
  ExpectSaid(run, "Py_OpenFirmware answered ");
  ExpectSaid(run, "Launch.pyo was written by this run");

  // A mistyped path: the earlier Launch.pyo runs, and the twin says so in plain words.
  fs::path missing = scratch.path() / "mistyped.fw";
  run = both(missing);
  EXPECT_EQ(run.exit_status, 7);
  ExpectSaid(run, "the firmware " + missing.string() + " cannot be read: ");
  ExpectSaid(run, "Launch.pyo was NOT written by this run: the firmware " + missing.string() +
                      " cannot be read: ");
  ExpectSaid(run, ": the Launch.pyo of an earlier run was used");

  fs::path text = scratch.path() / "notes.txt";
  WriteFile(text, "not an image\n");
  run = both(text);
  ExpectSaid(run, "the firmware " + text.string() + " is a readable file of 13 bytes");
  ExpectSaid(run, "module list as received (0 characters)");
  ExpectSaid(run, "Launch.pyo was NOT written by this run: the module list names no Launch.pyo");

  // A damaged member: its checksum fails, the library's read gives nothing.
  std::string bytes = ReadFile(image);
  bytes.back() = static_cast<char>(bytes.back() ^ 0x55);
  WriteFile(image, bytes);
  run = both(image);
  EXPECT_EQ(run.out, Line("Failed to load Launch.pyo!"));
  ExpectSaid(run, "wrote Launch.pyo: 0 bytes (the library's read gave nothing");
}

TEST_F(FwlaunchTraceTest, ItsHelpAndUsageNameItself) {
  ProgramRun run = RunProgram(FWLAUNCH_TRACE_BINARY, {"--help"}, options);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out.rfind("usage: fwlaunch-trace ANY FIRMWARE FUNCTION", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("step is told on standard error"), std::string::npos) << run.out;
  run = RunProgram(FWLAUNCH_TRACE_BINARY, {"x"}, options);
  EXPECT_EQ(run.out, Line("usage: fwlaunch-trace ANY FIRMWARE FUNCTION [ARGUMENT...]"));
}

// The interpreter's part tells the same lines on both systems (the protocol is one), shown
// here for a function that raises, a missing function and a Launch that cannot be imported.
TEST_F(FwlaunchTraceTest, TheInterpretersStepsAreToldTheSameOnBothSystems) {
  EXPECT_EQ(InterpreterLines(Both("Raise")),
            (std::vector<std::string>{
                "interpreter started, home WORK/",
                "imported Launch: <module 'Launch' from 'WORK/Launch.pyo'>",
                "found Launch.Raise: <function Raise at 0x?>",
                "calling Launch.Raise with ('LIBRARY', 'FIRMWARE')",
                "Traceback (most recent call last):", "  File \"Launch.py\", line 24, in Raise",
                "RuntimeError: the conversion failed",
                "Launch.Raise raised: exit status -1 (the interpreter's words above)"}));
  EXPECT_EQ(InterpreterLines(Both("Missing")),
            (std::vector<std::string>{"interpreter started, home WORK/",
                                      "imported Launch: <module 'Launch' from 'WORK/Launch.pyo'>",
                                      "Launch has no top-level name Missing"}));
  WriteFile(Firmware() / "Launch.pyo", "not bytecode");
  EXPECT_EQ(
      InterpreterLines(Both("Seven")),
      (std::vector<std::string>{"interpreter started, home WORK/",
                                "ImportError: Bad magic number in WORK/Launch.pyo",
                                "Launch could not be imported (the interpreter's words above)"}));
}

}  // namespace
}  // namespace fwlaunch::testing
