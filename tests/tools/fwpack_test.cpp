// fwpack as its users run it.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>
#endif

#include <cstring>
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
using testing::WriteFile;

class FwpackTest : public ::testing::Test {
 protected:
  FwpackTest() {
    WriteFile(In("Launch.pyo"), "launch bytes");
    WriteFile(In("helper.PYD"), std::string(50000, 'h'));
    WriteFile(In("notes.txt"), "notes");
  }
  std::string In(const std::string& name) const { return (scratch.path() / name).string(); }
  // Its messages with Linux's line ends, which the tests spell.
  ProgramRun Fwpack(std::vector<std::string> arguments) {
    ProgramRun run = RunProgram(FWLAUNCH_FWPACK, arguments);
#if defined(_WIN32)
    for (std::string* text : {&run.out, &run.err})
      for (std::size_t at; (at = text->find("\r\n")) != std::string::npos;) text->erase(at, 1);
#endif
    return run;
  }

  ScratchFolder scratch;
};

TEST_F(FwpackTest, CreateListExtractAndVerifyRoundTrip) {
  for (bool compress : {false, true}) {
    std::vector<std::string> create{"create",
                                    In("a.fw"),
                                    In("Launch.pyo"),
                                    In("helper.PYD"),
                                    "docs/notes.txt=" + In("notes.txt"),
                                    "--set",
                                    "VERSION=2"};
    if (compress) create.push_back("--compress");
    ProgramRun run = Fwpack(create);
    ASSERT_EQ(run.exit_status, 0) << run.err;

    run = Fwpack({"list", In("a.fw")});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_NE(run.out.find("config SCRIPT_PYD: 22 bytes, 2 lines"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("config VERSION: 1 byte = 2\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(compress ? " deflate " : " stored "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" docs/notes.txt\n"), std::string::npos) << run.out;

    run = Fwpack({"verify", In("a.fw")});
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.out, In("a.fw") + ": 3 entries OK\n");

    fs::path out = scratch.path() / (compress ? "out-deflate" : "out-stored");
    run = Fwpack({"extract", In("a.fw"), "-C", out.string()});
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(ReadFile(out / "Launch.pyo"), "launch bytes");
    EXPECT_EQ(ReadFile(out / "helper.PYD"), std::string(50000, 'h'));
    EXPECT_EQ(ReadFile(out / "docs" / "notes.txt"), "notes");

    run = Fwpack({"extract", In("a.fw"), "Launch.pyo", "missing", "-C", (out / "some").string()});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.err, "fwpack: " + In("a.fw") + ": no entry named missing\n");
    EXPECT_TRUE(fs::exists(out / "some" / "Launch.pyo"));
    EXPECT_FALSE(fs::exists(out / "some" / "helper.PYD"));
  }
}

TEST_F(FwpackTest, CreateRefusesWhatTheLauncherCouldNotUseAndLeavesNoHalfImage) {
  WriteFile(In("a.fw"), "an earlier image");
  std::string long_name(128, 'n');
  WriteFile(In("big.pyo"), std::string(0xA00001, 'b'));
  std::string many_modules;
  std::vector<std::string> list_args{"create", In("a.fw")};
  for (int i = 0; i < 80; ++i) {
    std::string name = "module_number_" + std::to_string(i) + ".pyo";
    list_args.push_back(name + "=" + In("Launch.pyo"));
  }
  struct Case {
    std::vector<std::string> arguments;
    std::string says;
  };
  std::vector<Case> cases{
      {{"create", In("a.fw"), long_name + ".pyo=" + In("Launch.pyo")}, "limited to 127"},
      {{"create", In("a.fw"), In("Launch.pyo"), "Launch.pyo=" + In("notes.txt")}, "twice"},
      {{"create", In("a.fw"), In("big.pyo")}, "over the limit of 10485760"},
      {list_args, "at most 1023"}};
#if defined(_WIN32)
  cases.push_back({{"create", In("a.fw"), In("absent.pyo")}, In("absent.pyo") + ": "});
#else
  cases.push_back({{"create", In("a.fw"), In("absent.pyo")}, "No such file"});
#endif
  for (const Case& c : cases) {
    ProgramRun run = Fwpack(c.arguments);
    EXPECT_EQ(run.exit_status, 1) << c.says;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    EXPECT_EQ(run.err.rfind("fwpack: ", 0), 0u) << run.err;
    EXPECT_EQ(ReadFile(In("a.fw")), "an earlier image");
  }
  std::size_t files = std::distance(fs::directory_iterator(scratch.path()), {});
  EXPECT_EQ(files, 5u) << "no temporary file is left behind";
}

#if !defined(_WIN32)
// An image of 80 MiB, written long enough for a signal to arrive while the temporary file is
// there.
std::vector<std::string> LargeImageArguments(const std::string& image, const std::string& part) {
  std::vector<std::string> arguments{"create", image};
  for (int i = 0; i < 8; ++i) arguments.push_back("part" + std::to_string(i) + ".bin=" + part);
  return arguments;
}

std::vector<std::string> FilesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  return names;
}

TEST_F(FwpackTest, AFileSizeLimitOrARequestToEndLeavesNoTemporaryImage) {
  WriteFile(In("part"), std::string(10 * 1024 * 1024, 'p'));
  fs::path out = scratch.path() / "out";
  fs::create_directories(out);
  std::string image = (out / "img.fw").string();

  // As a shell's "ulimit -f" sets it: SIGXFSZ at its default.
  ProgramOptions limited;
  limited.file_size_limit = 1024 * 1024;
  limited.file_size_signal_ignored = false;
  ProgramRun run = RunProgram(FWLAUNCH_FWPACK, LargeImageArguments(image, In("part")), limited);
  EXPECT_TRUE(run.exited) << "ended by signal " << run.signal;
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_NE(run.err.find("File too large"), std::string::npos) << run.err;
  EXPECT_TRUE(FilesIn(out).empty()) << FilesIn(out).front();

  for (int signal : {SIGINT, SIGTERM}) {
    // Sent as soon as the temporary image is made.
    int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, out.c_str(), IN_CREATE), 0);
    testing::RunningProgram program(FWLAUNCH_FWPACK, LargeImageArguments(image, In("part")), {});
    pollfd created{watch, POLLIN, 0};
    EXPECT_EQ(poll(&created, 1, 30000), 1) << "no file was made";
    kill(program.pid(), signal);
    close(watch);
    run = program.Wait();
    EXPECT_FALSE(run.exited);
    EXPECT_EQ(run.signal, signal);
    // Asked to end before the image was whole, it leaves nothing; a whole one stays.
    for (const std::string& name : FilesIn(out)) {
      EXPECT_EQ(name, "img.fw") << strsignal(signal) << " left a temporary file";
      EXPECT_EQ(Fwpack({"verify", image}).exit_status, 0);
      fs::remove(image);
    }
  }
}
#endif

TEST_F(FwpackTest, VerifyNamesTheFirstBadEntry) {
  ASSERT_EQ(Fwpack({"create", In("a.fw"), In("Launch.pyo"), In("notes.txt")}).exit_status, 0);
  std::string image = ReadFile(In("a.fw"));
  // The data follows the table in the order given: notes.txt's five bytes come last.
  image[image.size() - 2] ^= 1;
  WriteFile(In("a.fw"), image);
  ProgramRun run = Fwpack({"verify", In("a.fw")});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.err, "fwpack: " + In("a.fw") + ": entry notes.txt: CRC-32 mismatch\n");

  run = Fwpack({"extract", In("a.fw"), "-C", In("out")});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_TRUE(fs::exists(In("out/Launch.pyo")));
  EXPECT_FALSE(fs::exists(In("out/notes.txt"))) << "a bad entry is not left on disk";

  WriteFile(In("b.fw"), image.substr(0, 100));
  run = Fwpack({"list", In("b.fw")});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_NE(run.err.find("truncated"), std::string::npos) << run.err;
}

#if !defined(_WIN32)  // links need rights Windows users rarely have
TEST_F(FwpackTest, ExtractNeverWritesThroughALinkBelowTheFolder) {
  ASSERT_EQ(Fwpack({"create", In("a.fw"), "sub/x.pyo=" + In("Launch.pyo"),
                    "link.pyo=" + In("Launch.pyo"), "plain.pyo=" + In("Launch.pyo")})
                .exit_status,
            0);
  std::filesystem::create_directories(In("out"));
  std::filesystem::create_directories(In("elsewhere"));
  // A link to a folder standing where a member's sub-folder goes, and one named like a member.
  std::filesystem::create_directory_symlink(In("elsewhere"), In("out/sub"));
  std::filesystem::create_symlink(In("elsewhere/target"), In("out/link.pyo"));
  ProgramRun run = Fwpack({"extract", In("a.fw"), "-C", In("out")});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_NE(run.err.find(In("out/sub") + ": is a link; entry sub/x.pyo is not extracted"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("entry link.pyo is not extracted"), std::string::npos) << run.err;
  EXPECT_TRUE(std::filesystem::is_empty(In("elsewhere"))) << "written outside the folder";
  EXPECT_EQ(testing::ReadFile(In("out/plain.pyo")), "launch bytes") << "the others still come out";
}
#endif

TEST_F(FwpackTest, ListShowsTheConfigValuesEscapedAndATabSeparatedFormForPrograms) {
  WriteFile(In("evil"), "x");
  ASSERT_EQ(
      Fwpack({"create", In("a.fw"), In("Launch.pyo"), "esc\x1b[31m.pyo=" + In("evil"), "--set",
              "NOTE=two\tparts\\", "--set", "SCRIPT_PYD=Launch.pyo\nesc\x1b[31m.pyo\n"})
          .exit_status,
      0);
  ProgramRun run = Fwpack({"list", In("a.fw")});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_NE(
      run.out.find("config SCRIPT_PYD: 24 bytes, 2 lines\n  Launch.pyo\n  esc\\x1b[31m.pyo\n"),
      std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("config NOTE: 10 bytes = two\tparts\\\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(" esc\\x1b[31m.pyo\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find('\x1b'), std::string::npos) << "a control character reached the terminal";

  run = Fwpack({"list", "--tsv", In("a.fw")});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_NE(run.out.find("config\tSCRIPT_PYD\tLaunch.pyo\\nesc\\x1b[31m.pyo\\n\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("config\tNOTE\ttwo\\tparts\\\\\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("entry\t12\t12\tstored\t"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\tLaunch.pyo\n"), std::string::npos) << run.out;
}

TEST_F(FwpackTest, CreateWarnsAboutListsFwlaunchCannotUseAndRefusesItsOwnInput) {
  ProgramRun run = Fwpack({"create", In("a.fw"), In("notes.txt"), In("helper.PYD")});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_NE(run.err.find("warning: the module list names no Launch.pyo"), std::string::npos)
      << run.err;
  run =
      Fwpack({"create", In("b.fw"), In("Launch.pyo"), "--set", "SCRIPT_PYD=Launch.pyo\nlast.pyo"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_NE(run.err.find("last name, last.pyo, has no final LF"), std::string::npos) << run.err;
  EXPECT_EQ(Fwpack({"create", In("c.fw"), In("Launch.pyo")}).err, "") << "a usable list: no word";

  WriteFile(In("self.bin"), "my own bytes");
  run = Fwpack({"create", In("self.bin"), In("self.bin")});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_NE(run.err.find("would replace its own input"), std::string::npos) << run.err;
  EXPECT_EQ(testing::ReadFile(In("self.bin")), "my own bytes");
}

TEST_F(FwpackTest, DashIsStandardInputOrOutputAndDoubleDashEndsOptions) {
  ProgramOptions from_file;
  from_file.input_file = In("Launch.pyo");
  // An image to standard output, its member from standard input.
  ProgramRun run = RunProgram(FWLAUNCH_FWPACK, {"create", "-", "Launch.pyo=-"}, from_file);
  ASSERT_EQ(run.exit_status, 0) << run.err;
  WriteFile(In("-odd.fw"), run.out);
  run = Fwpack({"verify", "--", In("-odd.fw")});
  EXPECT_EQ(run.exit_status, 0) << run.err;

  ProgramOptions image_in;
  image_in.input_file = In("-odd.fw");
  run = RunProgram(FWLAUNCH_FWPACK, {"list", "-"}, image_in);
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_NE(run.out.find(" Launch.pyo\n"), std::string::npos) << run.out;
  run = RunProgram(FWLAUNCH_FWPACK, {"extract", "-O", "-", "Launch.pyo"}, image_in);
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out, "launch bytes");

  EXPECT_EQ(Fwpack({"create", In("x.fw"), "-"}).exit_status, 2) << "standard input needs a name";
  EXPECT_EQ(Fwpack({"extract", "-O", "-C", In("out"), In("-odd.fw")}).exit_status, 2);
}

// Options as every GNU tool takes them: abbreviated long options, a short option's value
// joined to it, options after operands; and counts said in the right number.
TEST_F(FwpackTest, OptionsAreReadAsGnuToolsReadThem) {
  ProgramRun run = Fwpack({"create", In("one.fw"), In("helper.PYD"), "--comp", "--se", "A=1"});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  run = Fwpack({"verify", In("one.fw")});
  EXPECT_EQ(run.out, In("one.fw") + ": 1 entry OK\n");
  run = Fwpack({"list", In("one.fw"), "--ts"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_NE(run.out.find("\tA\t"), std::string::npos) << "--ts is --tsv: " << run.out;
  EXPECT_NE(run.out.find("deflate"), std::string::npos) << "--comp is --compress: " << run.out;
  run = Fwpack({"extract", "-C" + In("joined"), In("one.fw")});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(ReadFile(scratch.path() / "joined" / "helper.PYD"), std::string(50000, 'h'));
  run = Fwpack({"list", "--t", In("one.fw"), "--x"});
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_NE(run.err.find("unknown or ambiguous option --x"), std::string::npos) << run.err;
  run = Fwpack({"extract", In("one.fw"), "-C"});
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_NE(run.err.find("takes a value"), std::string::npos) << run.err;
}

TEST_F(FwpackTest, EveryCommandHasItsOwnHelp) {
  for (const char* command : {"create", "list", "extract", "verify"}) {
    ProgramRun run = Fwpack({command, "--help"});
    EXPECT_EQ(run.exit_status, 0) << command;
    EXPECT_EQ(run.out.find(std::string("usage: fwpack ") + command), 0u) << run.out;
    EXPECT_EQ(run.err, "");
  }
  // After "--", --help is a file name like any other.
  EXPECT_EQ(Fwpack({"list", "--", "--help"}).exit_status, 1);
}

TEST_F(FwpackTest, UsageErrorsExitTwoAndHelpAndVersionZero) {
  for (std::vector<std::string> arguments : {std::vector<std::string>{},
                                             {"frobnicate"},
                                             {"list"},
                                             {"verify", "a", "b"},
                                             {"create"},
                                             {"create", In("x.fw"), "--bogus"},
                                             {"extract", In("x.fw"), "-C"}}) {
    ProgramRun run = Fwpack(arguments);
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_NE(run.err.find("usage: fwpack"), std::string::npos);
  }
  EXPECT_EQ(Fwpack({"--help"}).exit_status, 0);
  EXPECT_EQ(Fwpack({"--version"}).out, std::string("fwpack ") + FWLAUNCH_VERSION_TEXT + "\n");
}

}  // namespace
}  // namespace fwlaunch
