// Runs at the same time with working folders of their own, as a user converting many images
// starts them: they share the one shared data folder, and only the last out purges it.
#include <chrono>
#include <thread>

#include "tests/launcher/fwlaunch_fixture.h"

namespace fwlaunch::testing {
namespace {

class FwlaunchParallelTest : public FwlaunchTest {
 protected:
  // The fixture's options with a temporary folder of the run's own, its working folder
  // holding the library.
  ProgramOptions OwnWorkingFolder(const std::string& name) {
    fs::path temp = scratch.path() / name;
    fs::create_directories(temp / "QALM");
    fs::copy_file(FWLAUNCH_FOLDER_LIBRARY, temp / "QALM" / "Script.dll",
                  fs::copy_options::overwrite_existing);
    ProgramOptions own = options;
    for (const auto& [variable, value] : WithTemporaryFolder(temp).environment)
      own.environment[variable] = value;
    return own;
  }

  // Starts count runs that each write a file into the shared data folder and, once all have
  // written theirs, check it after a pause of their own: the first to end would have purged
  // the others' files.
  std::vector<RunningProgram> StartTogether(int count, const std::string& round) {
    fs::path go = scratch.path() / ("go" + round);
    std::vector<RunningProgram> runs;
    for (int i = 0; i < count; ++i) {
      std::string delay = std::to_string(0.15 * i);
      runs.emplace_back(FWLAUNCH_TESTING_BINARY,
                        LaunchArguments("KeepWhileOthersRun",
                                        {Shared().string(), Name(round, i), go.string(), delay}),
                        OwnWorkingFolder("tmp" + round + "-" + std::to_string(i)));
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (int i = 0; i < count; ++i) {
      while (!fs::exists(Shared() / Name(round, i)) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    WriteFile(go, "");
    return runs;
  }

  static std::string Name(const std::string& round, int i) {
    return "run" + round + "-" + std::to_string(i) + ".dat";
  }

  std::size_t PlainFilesInShared() const {
    std::size_t files = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(Shared()))
      files += entry.is_regular_file();
    return files;
  }
};

TEST_F(FwlaunchParallelTest, OnlyTheLastRunOutPurges) {
  for (int count : {2, 8}) {
    std::string round = std::to_string(count);
    WriteFile(Shared() / "state.dat", "state");
    std::vector<RunningProgram> runs = StartTogether(count, round);
    for (int i = 0; i < count; ++i) {
      ProgramRun run = runs[i].Wait();
      EXPECT_EQ(run.exit_status, 0) << "of " << count << ", run " << i << " lost its file";
      EXPECT_EQ(run.out, "");
    }
    EXPECT_TRUE(Purged()) << count << " runs";
    EXPECT_EQ(PlainFilesInShared(), 0u) << count << " runs";
  }
}

TEST_F(FwlaunchParallelTest, AKilledRunKeepsNoOtherRunFromPurging) {
  RunningProgram killed(
      FWLAUNCH_TESTING_BINARY,
      LaunchArguments("KeepWhileOthersRun",
                      {Shared().string(), "killed.dat", (scratch.path() / "never").string(), "0"}),
      OwnWorkingFolder("killed"));
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!fs::exists(Shared() / "killed.dat") && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  killed.Terminate();

  std::vector<RunningProgram> pair = StartTogether(2, "pair");
  for (RunningProgram& run : pair) EXPECT_EQ(run.Wait().exit_status, 0);
  EXPECT_TRUE(Purged());
  EXPECT_EQ(PlainFilesInShared(), 0u) << "the killed run's claim outlived it";
}

TEST_F(FwlaunchParallelTest, ANestedRunLeavesThePurgeToItsOuterRun) {
  // The nested run is the twin, which says so on the standard error both share.
  ProgramRun run = Launch("NestedKeepsFile", {Shared().string(), FWLAUNCH_TRACE_BINARY});
  EXPECT_EQ(run.exit_status, 0) << "the nested run purged under its outer run's script";
  EXPECT_NE(run.err.find("purge: left to the run of process "), std::string::npos) << run.err;
  EXPECT_TRUE(Purged());
  EXPECT_FALSE(fs::exists(Shared() / "outer.dat")) << "the outer run did not purge";
}

}  // namespace
}  // namespace fwlaunch::testing
