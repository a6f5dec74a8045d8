// The diagnostic twin on Linux alone: the trust checks it names, and the interpreter module.
#include "tests/launcher/fwlaunch_trace_fixture.h"

namespace fwlaunch::testing {
namespace {

TEST_F(FwlaunchTraceTest, TellsWhichTrustCheckFailedAndWhatToDo) {
  fs::remove(Work() / "Script.dll");
  ProgramRun run = Both("Seven");
  ExpectSaid(run, "Script.dll: No such file or directory");

  fs::copy_file(FWLAUNCH_FOLDER_LIBRARY, Work() / "Script.dll");
  fs::permissions(Work(), fs::perms::all);
  run = Both("Seven");
  ExpectSaid(run, "the folder " + Work().string() +
                      " can be written by others (mode 0777): make it yours alone with chmod "
                      "go-w; or set TMPDIR to a folder of your own");
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
    ProgramRun traced =
        RunProgram((tree / "bin" / "fwlaunch-trace-testing").string(), arguments, options);
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
  fs::copy_file(fs::path(FWLAUNCH_TESTING_BINARY).parent_path().parent_path() / "lib" / "fwlaunch" /
                    "libfwlaunch-interpreter.so",
                module, fs::copy_options::overwrite_existing);
  EXPECT_EQ(RunProgram((tree / "bin" / "fwlaunch-testing").string(), LaunchArguments("Seven", {}),
                       options)
                .exit_status,
            7);
}

}  // namespace
}  // namespace fwlaunch::testing
