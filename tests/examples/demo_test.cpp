// The demo conversion end to end: fwlaunch, the reference library, the demo firmware, and
// objcopy as an independent reader of the Intel HEX it writes.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/run_program.h"
#include "tests/support/scratch_folder.h"

namespace fwlaunch {
namespace {

namespace fs = std::filesystem;
using testing::ProgramOptions;
using testing::ProgramRun;
using testing::ReadFile;
using testing::RunProgram;
using testing::ScratchFolder;
using testing::WithTemporaryFolder;

class DemoTest : public ::testing::Test {
 protected:
  DemoTest() {
    fs::create_directories(scratch.path() / "QALM");
    fs::copy_file(FWLAUNCH_REFERENCE_LIBRARY, scratch.path() / "QALM" / "Script.dll");
  }
  ProgramRun Launch(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"x", FWLAUNCH_DEMO_IMAGE});
    return RunProgram(FWLAUNCH_TESTING_BINARY, arguments, WithTemporaryFolder(scratch.path()));
  }
  ScratchFolder scratch;
};

TEST_F(DemoTest, ToHexWritesIntelHexThatReadsBackToThePayload) {
  fs::path hex = scratch.path() / "out.hex";
  ProgramRun run = Launch({"ToHex", hex.string()});
  ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(ReadFile(hex).substr(0, 9), ":10000000");

  fs::path back = scratch.path() / "back.bin";
  ProgramRun objcopy =
      RunProgram("/usr/bin/objcopy", {"-I", "ihex", "-O", "binary", hex.string(), back.string()});
  ASSERT_EQ(objcopy.exit_status, 0) << objcopy.err;
  EXPECT_TRUE(ReadFile(back) == ReadFile(FWLAUNCH_DEMO_PAYLOAD)) << "payload differs";
  // The HEX the Windows build's test expects as well (tests/examples/windows_demo_test.sh).
  EXPECT_TRUE(ReadFile(hex) == ReadFile(FWLAUNCH_DEMO_REFERENCE_HEX)) << "not the reference HEX";
}

// As on Windows, where the image's Linux checksum.pyd cannot be imported: the script computes
// the same checksums itself.
TEST_F(DemoTest, WithoutItsExtensionModuleTheScriptWritesTheSameHex) {
  fs::path with = scratch.path() / "with.hex";
  ASSERT_EQ(Launch({"ToHex", with.string()}).exit_status, 0);

  fs::path modules = fs::path(FWLAUNCH_DEMO_PAYLOAD).parent_path();
  fs::path image = scratch.path() / "no-extension.fw";
  ProgramRun packed =
      RunProgram(FWLAUNCH_FWPACK, {"create", image.string(), (modules / "Launch.pyo").string(),
                                   (modules / "firmware.pyo").string(), FWLAUNCH_DEMO_PAYLOAD});
  ASSERT_EQ(packed.exit_status, 0) << packed.err;
  fs::remove(scratch.path() / "QALM" / "checksum.pyd");
  fs::path without = scratch.path() / "without.hex";
  ProgramRun run =
      RunProgram(FWLAUNCH_TESTING_BINARY, {"x", image.string(), "ToHex", without.string()},
                 WithTemporaryFolder(scratch.path()));
  ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
  EXPECT_FALSE(fs::exists(scratch.path() / "QALM" / "checksum.pyd"));
  EXPECT_TRUE(ReadFile(without) == ReadFile(with));
}

// A firmware packed from its Python sources: fwpack compiles them as python2.7 -OO would.
TEST_F(DemoTest, AFirmwarePackedFromSourcesRunsTheSame) {
  fs::path with = scratch.path() / "with.hex";
  ASSERT_EQ(Launch({"ToHex", with.string()}).exit_status, 0);

  fs::path source = FWLAUNCH_SOURCE_DIR;
  fs::path image = scratch.path() / "from-sources.fw";
  ProgramRun packed = RunProgram(
      FWLAUNCH_FWPACK, {"create", image.string(), (source / "examples/demo/Launch.py").string(),
                        (source / "firmware_helper/firmware.py").string(), FWLAUNCH_DEMO_PAYLOAD});
  ASSERT_EQ(packed.exit_status, 0) << packed.err;
  fs::path from_sources = scratch.path() / "from-sources.hex";
  ProgramRun run =
      RunProgram(FWLAUNCH_TESTING_BINARY, {"x", image.string(), "ToHex", from_sources.string()},
                 WithTemporaryFolder(scratch.path()));
  ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
  EXPECT_TRUE(ReadFile(from_sources) == ReadFile(with));

  // The compiled member is python2.7 -OO's own code object, byte for byte after the header.
  fs::path extracted = scratch.path() / "extracted";
  ASSERT_EQ(RunProgram(FWLAUNCH_FWPACK,
                       {"extract", "-C", extracted.string(), image.string(), "Launch.pyo"})
                .exit_status,
            0);
  fs::path reference = scratch.path() / "reference.pyo";
  ProgramRun compiled = RunProgram(
      FWLAUNCH_PYTHON, {"-OO", "-c",
                        "import py_compile, sys; py_compile.compile(sys.argv[1], sys.argv[2], "
                        "'Launch.py', doraise=True)",
                        (source / "examples/demo/Launch.py").string(), reference.string()});
  ASSERT_EQ(compiled.exit_status, 0) << compiled.err;
  EXPECT_TRUE(ReadFile(extracted / "Launch.pyo").substr(8) == ReadFile(reference).substr(8));
}

TEST_F(DemoTest, InfoListsTheModulesAndThePayload) {
  ProgramRun run = Launch({"Info"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  std::string size = std::to_string(fs::file_size(FWLAUNCH_DEMO_PAYLOAD));
  EXPECT_EQ(run.out, "modules: Launch.pyo, firmware.pyo, checksum.pyd\npayload: payload.bin, " +
                         size + " bytes\n");
}

TEST_F(DemoTest, MissingArgumentsAndUnwritableOutputsFailWithAMessage) {
  ProgramRun run = Launch({"ToHex"});
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_NE(run.err.find("ToHex: missing output path"), std::string::npos) << run.err;

  run = Launch({"ToHex", (scratch.path() / "absent" / "out.hex").string()});
  EXPECT_EQ(run.exit_status, 4);
  EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace fwlaunch
