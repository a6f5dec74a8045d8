// The diagnostic twin: the same run as fwlaunch, with every step told on standard error.
#include "tests/launcher/fwlaunch_fixture.h"

namespace fwlaunch::testing {
namespace {

class FwlaunchTraceTest : public FwlaunchTest {
 protected:
  // Runs the twin, then fwlaunch on the same state, and checks that they agree on everything
  // but standard error. Returns the twin's run.
  ProgramRun Both(const std::string& function, std::vector<std::string> extra = {}) {
    std::vector<std::string> arguments = LaunchArguments(function, extra);
    ProgramRun traced = RunProgram(FWLAUNCH_TRACE_BINARY, arguments, options);
    ProgramRun plain = RunProgram(FWLAUNCH_TESTING_BINARY, arguments, options);
    EXPECT_EQ(traced.exit_status, plain.exit_status) << function;
    EXPECT_EQ(traced.out, plain.out) << function;
    EXPECT_EQ(plain.err, "") << "fwlaunch itself says nothing on standard error";
    return traced;
  }
  static void ExpectSaid(const ProgramRun& run, const std::string& words) {
    EXPECT_NE(run.err.find(words), std::string::npos) << "missing: " << words << "\n" << run.err;
  }
};

TEST_F(FwlaunchTraceTest, TellsWhyTheLibraryFailed) {
  fs::remove(Work() / "Script.dll");
  ProgramRun run = Both("Seven");
  ExpectSaid(run, "the script library is not loaded: ");
  ExpectSaid(run, "Script.dll: No such file or directory");

  // A file that is no shared object: the loader's own words, naming the file by its path.
  WriteFile(Work() / "Script.dll", "not a library");
  run = Both("Seven");
  ExpectSaid(run, "the script library does not load: " + LibraryPath() + ": ");

  fs::copy_file(FWLAUNCH_INCOMPLETE_LIBRARY, Work() / "Script.dll",
                fs::copy_options::overwrite_existing);
  run = Both("Seven");
  ExpectSaid(run, "the script library lacks the export Py_QueryCfg");

  // A folder others may write: which check failed, and what to do.
  fs::permissions(Work(), fs::perms::all);
  run = Both("Seven");
  ExpectSaid(run, "the folder " + Work().string() +
                      " can be written by others (mode 0777): make it yours alone with chmod "
                      "go-w; or set TMPDIR to a folder of your own");
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
  EXPECT_EQ(run.exit_status, 255);
  ExpectSaid(run, "Traceback (most recent call last):");
  ExpectSaid(run, "RuntimeError: the conversion failed");
  ExpectSaid(run, "Launch.Raise raised: exit status -1");

  run = Both("Exit");  // SystemExit is shown, not obeyed
  EXPECT_EQ(run.exit_status, 255);
  ExpectSaid(run, "Launch.Exit raised");

  run = Both("Text");
  ExpectSaid(run, "Launch.Text returned '7', which is no 32-bit integer");
  run = Both("TooLarge");
  ExpectSaid(run, "Launch.TooLarge returned 2147483648, which is no 32-bit integer");

  run = Both("Missing");
  ExpectSaid(run, "Launch has no top-level name Missing");
  WriteFile(Firmware() / "Launch.pyo", "not bytecode");
  run = Both("Seven");
  EXPECT_EQ(run.out, "Failed to load Launch.pyo!\n");
  ExpectSaid(run, "Launch could not be imported");
}

// The interpreter's side is a module the script's process loads from ../lib/fwlaunch/ beside
// the program, and from nowhere else: copies of the programs in a tree of their own get a
// broken one there.
TEST_F(FwlaunchTraceTest, AnInterpreterModuleThatFailsIsAnUnknownExceptionAndTheTwinSaysWhy) {
  fs::path tree = scratch.path() / "tree";
  fs::create_directories(tree / "bin");
  fs::create_directories(tree / "lib" / "fwlaunch");
  fs::path module = tree / "lib" / "fwlaunch" / "libfwlaunch-interpreter.so";
  fs::copy_file(FWLAUNCH_TESTING_BINARY, tree / "bin" / "fwlaunch-testing");
  fs::copy_file(FWLAUNCH_TRACE_BINARY, tree / "bin" / "fwlaunch-trace-testing");
  auto run_both = [&] {
    std::vector<std::string> arguments = LaunchArguments("Seven", {});
    ProgramRun traced = RunProgram((tree / "bin" / "fwlaunch-trace-testing").string(), arguments,
                                   options);
    ProgramRun plain = RunProgram((tree / "bin" / "fwlaunch-testing").string(), arguments, options);
    EXPECT_EQ(plain.out, "Unknown Exception!\n");
    EXPECT_EQ(plain.exit_status, 255);
    EXPECT_EQ(traced.out, plain.out);
    EXPECT_TRUE(Purged());
    WriteFile(Shared() / "state.dat", "state");
    return traced;
  };

  // The loader's words, with the path as the program put it together.
  const std::string tried = (tree / "bin" / "../lib/fwlaunch/libfwlaunch-interpreter.so").string();
  ProgramRun run = run_both();  // none there
  ExpectSaid(run, "failed: " + tried + ": cannot open shared object file");

  WriteFile(module, "not a library");
  run = run_both();
  ExpectSaid(run, "failed: " + tried + ": ");

  fs::copy_file(FWLAUNCH_INCOMPLETE_LIBRARY, module, fs::copy_options::overwrite_existing);
  run = run_both();
  ExpectSaid(run, "libfwlaunch-interpreter.so has no fwlaunch_run_script");

  // The real one beside them: the copies run as the originals do.
  fs::copy_file(fs::path(FWLAUNCH_TESTING_BINARY).parent_path().parent_path() / "lib" /
                    "fwlaunch" / "libfwlaunch-interpreter.so",
                module, fs::copy_options::overwrite_existing);
  EXPECT_EQ(RunProgram((tree / "bin" / "fwlaunch-testing").string(), LaunchArguments("Seven", {}),
                       options).exit_status, 7);
}

TEST_F(FwlaunchTraceTest, TellsHowTheScriptsProcessEnded) {
  ProgramRun run = Both("CrashInExtension");
  EXPECT_EQ(run.out, "Unknown Exception!\n");
  ExpectSaid(run, "the script's process crashed");
  ExpectSaid(run, "purge: removed state.dat");
}

}  // namespace
}  // namespace fwlaunch::testing
