// Runs at the same time, runs inside runs, and signals sent to a run.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "tests/launcher/fwlaunch_fixture.h"
#include "tests/support/posix/lock_waits.h"

namespace fwlaunch::testing {
namespace {

pid_t ReadPid(const fs::path& marker) {
  std::ifstream in(marker);
  pid_t pid = 0;
  in >> pid;
  return pid;
}

TEST_F(FwlaunchTest, RunsStartedTogetherAreSerialisedAndEachGetsItsOwnStatus) {
  // A large module written before Launch.pyo widens the window in which one run would
  // truncate a module that another is importing.
  WriteFile(Firmware() / "big.pyd", std::string(4 << 20, 'b'));
  WriteFile(Firmware() / "SCRIPT_PYD", "big.pyd\nhelper.pyo\npydtest.pyd\nLaunch.pyo\n");
  std::vector<RunningProgram> runs;
  for (int i = 0; i < 8; ++i) runs.push_back(Start("Slow", {std::to_string(10 + i)}));
  for (int i = 0; i < 8; ++i) {
    ProgramRun run = runs[i].Wait();
    EXPECT_EQ(run.exit_status, 10 + i) << run.out;
    EXPECT_EQ(run.out, "");
  }
  for (const char* module : {"big.pyd", "helper.pyo", "pydtest.pyd", "Launch.pyo"})
    EXPECT_TRUE(ReadFile(Work() / module) == ReadFile(Firmware() / module)) << module;
  EXPECT_TRUE(Purged());
}

TEST_F(FwlaunchTest, ARunInsideARunDoesNotWaitForItsAncestor) {
  ProgramRun run = Launch("Nested", {FWLAUNCH_TESTING_BINARY});
  EXPECT_EQ(run.exit_status, 7) << run.out << run.err;
  EXPECT_TRUE(Purged());
}

TEST_F(FwlaunchTest, ForwardedSignalsReachTheFunction) {
  fs::path marker = scratch.path() / "ready";
  RunningProgram program = Start("AwaitSignal", {marker.string()});
  ASSERT_TRUE(WaitForFile(marker));
  kill(program.pid(), SIGUSR1);
  ProgramRun run = program.Wait();
  EXPECT_EQ(run.exit_status, 5) << "the function saw the signal";
  EXPECT_TRUE(Purged());
}

// Ctrl-C at the terminal reaches every process of the run; an interrupt a process sends to the
// launcher is passed on, and may reach the function's process directly as well (sent to the
// group, or to each process by name): whoever sends it, the function sees it once.
TEST_F(FwlaunchTest, AnInterruptReachesTheFunctionOnceWhicheverProcessItWasSentTo) {
  enum class Sender { kTerminal, kProcessGroup, kEachProcess, kLauncherAlone };
  const std::pair<Sender, const char*> senders[] = {
      {Sender::kTerminal, "Ctrl-C at the terminal"},
      {Sender::kProcessGroup, "kill -INT -PGID"},
      {Sender::kEachProcess, "SIGINT to each process, as pkill sends it"},
      {Sender::kLauncherAlone, "SIGINT to the launcher alone"},
  };
  for (const auto& [sender, what] : senders) {
    WriteFile(Shared() / "state.dat", "state");
    fs::path marker = scratch.path() / ("ready" + std::to_string(static_cast<int>(sender)));
    options.controlling_terminal = sender == Sender::kTerminal;
    options.own_process_group = sender == Sender::kProcessGroup;
    // Two interrupts from one sender: the second must not be taken for the first one's pair.
    RunningProgram program = Start("CountInterrupts", {marker.string(), "2"});
    for (const fs::path& ready : {marker, fs::path(marker.string() + ".1")}) {
      ASSERT_TRUE(WaitForFile(ready)) << what;
      pid_t function_process = ReadPid(ready);
      switch (sender) {
        case Sender::kTerminal:
          program.TypeInterrupt();
          break;
        case Sender::kProcessGroup:
          kill(-program.pid(), SIGINT);
          break;
        case Sender::kEachProcess:
          kill(program.pid(), SIGINT);
          kill(function_process, SIGINT);
          break;
        case Sender::kLauncherAlone:
          kill(program.pid(), SIGINT);
          break;
      }
    }
    ProgramRun run = program.Wait();
    EXPECT_EQ(run.exit_status, 12)
        << what << ": two interrupts reached it " << run.exit_status - 10 << " times";
    EXPECT_TRUE(Purged()) << what;
  }
}

TEST_F(FwlaunchTest, ATerminatedRunPurgesFirstThenEndsByTheSignal) {
  for (int signal : {SIGTERM, SIGHUP}) {
    WriteFile(Shared() / "state.dat", "state");
    fs::path marker = scratch.path() / ("ready" + std::to_string(signal));
    RunningProgram program = Start("Sleep", {marker.string()});
    ASSERT_TRUE(WaitForFile(marker));
    pid_t function_process = ReadPid(marker);
    kill(program.pid(), signal);
    ProgramRun run = program.Wait();
    EXPECT_FALSE(run.exited);
    EXPECT_EQ(run.signal, signal);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(Purged());
    EXPECT_NE(kill(function_process, 0), 0) << "the function's process is gone";
  }
}

TEST_F(FwlaunchTest, AKeyboardInterruptOutsideTheFunctionEndsTheRunAfterThePurge) {
  ProgramRun run = Launch("InterruptWithoutHandler");
  EXPECT_FALSE(run.exited);
  EXPECT_EQ(run.signal, SIGINT);
  EXPECT_EQ(run.out, "") << "an interrupt is no crash";
  EXPECT_TRUE(Purged());
}

// A Ctrl-C while the modules are written ends the run before any interpreter handles it; and
// nothing is imported before the writing has ended, however long it takes.
TEST_F(FwlaunchTest, AnInterruptDuringTheExtractionEndsTheRunAndASlowOneIsAwaited) {
  WriteFile(Firmware() / "COUNTS", "Launch.pyo slow\nhelper.pyo interrupt\n");
  ProgramRun run = Launch("Seven");
  EXPECT_FALSE(run.exited);
  EXPECT_EQ(run.signal, SIGINT);
  EXPECT_EQ(run.out, "") << "an interrupt is no crash";
  EXPECT_TRUE(Purged());

  fs::remove(Work() / "Launch.pyo");
  WriteFile(Firmware() / "COUNTS", "Launch.pyo slow\nhelper.pyo slow\n");
  run = Launch("UseHelper");
  EXPECT_EQ(run.exit_status, 42) << run.out << run.err;
  EXPECT_EQ(run.out, "");
}

// Whether the process ends (or is left a zombie) within about ten seconds.
bool EndsSoon(pid_t pid) {
  for (int i = 0; i < 1000; ++i) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    std::size_t close = line.rfind(')');
    if (close != std::string::npos && line.compare(close, 4, ") Z ") == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// A launcher ended by a signal it cannot pass on takes its script along, and neither the
// script nor the daemon it left behind keeps the next run waiting.
TEST_F(FwlaunchTest, AKilledLauncherTakesItsScriptAlongAndHoldsUpNoLaterRun) {
  for (int signal : {SIGKILL, SIGALRM}) {
    std::string name = std::to_string(signal);
    fs::path daemon_marker = scratch.path() / ("daemon" + name);
    fs::path marker = scratch.path() / ("ready" + name);
    RunningProgram program = Start("DaemonThenSleep", {daemon_marker.string(), marker.string()});
    ASSERT_TRUE(WaitForFile(marker));
    ASSERT_TRUE(WaitForFile(daemon_marker));
    pid_t function_process = ReadPid(marker);
    pid_t daemon = ReadPid(daemon_marker);
    kill(program.pid(), signal);
    EXPECT_FALSE(program.Wait().exited);
    EXPECT_TRUE(EndsSoon(function_process)) << "the script ran on without its launcher";

    ProgramRun next = Launch("Seven");
    bool daemon_ended = fs::exists(daemon_marker.string() + ".done");
    kill(daemon, SIGKILL);
    EXPECT_EQ(next.exit_status, 7);
    EXPECT_FALSE(daemon_ended) << "the next run waited until the daemon ended";
  }
}

TEST_F(FwlaunchTest, AKilledFunctionProcessIsAnUnknownException) {
  fs::path marker = scratch.path() / "ready";
  RunningProgram program = Start("Sleep", {marker.string()});
  ASSERT_TRUE(WaitForFile(marker));
  kill(ReadPid(marker), SIGKILL);
  ProgramRun run = program.Wait();
  EXPECT_EQ(run.exit_status, 255);
  EXPECT_EQ(run.out, "Unknown Exception!\n");
  EXPECT_TRUE(Purged());
}

TEST_F(FwlaunchTest, ABackgroundProcessLeftByAScriptDoesNotDelayTheNextRun) {
  fs::path marker = scratch.path() / "daemon";
  ASSERT_EQ(Launch("Daemon", {marker.string()}).exit_status, 0);
  ASSERT_TRUE(WaitForFile(marker));
  pid_t daemon = ReadPid(marker);
  ProgramRun next = Launch("Seven");
  bool daemon_ended = fs::exists(marker.string() + ".done");
  kill(daemon, SIGKILL);
  EXPECT_EQ(next.exit_status, 7);
  EXPECT_FALSE(daemon_ended) << "the next run waited until the background process ended";
}

TEST_F(FwlaunchTest, TheNextRunStartsOnlyOnceThePurgeHasEnded) {
  // Enough files that a purge takes far longer than a run needs to reach its function.
  for (int i = 0; i < 20000; ++i) WriteFile(Shared() / ("file" + std::to_string(i)), "");
  fs::path marker = scratch.path() / "holding";
  fs::path go = scratch.path() / "go";
  RunningProgram first = Start("HoldUntil", {marker.string(), go.string()});
  ASSERT_TRUE(WaitForFile(marker));
  RunningProgram second = Start("CountFiles", {Shared().string()});
  ASSERT_TRUE(WaitsForALock(second.pid())) << "the second run did not wait for the first";
  WriteFile(go, "");
  EXPECT_EQ(first.Wait().exit_status, 0);
  EXPECT_EQ(second.Wait().exit_status, 0) << "the second run's function saw files being purged";
}

// Another user's lock on the shared data folder, shared or exclusive, neither holds a run up
// nor keeps it from purging: only runs of fwlaunch count.
TEST_F(FwlaunchTest, AnotherUsersLockOnTheSharedDataFolderStopsNoPurge) {
  constexpr uid_t kOtherUser = 65534;
  for (const char* kind : {"--shared", "--exclusive"}) {
    WriteFile(Shared() / "state.dat", "state");
    pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
      // Holding none of the test's streams, and the lock itself (--no-fork), so that it ends
      // with the kill below.
      int null = open("/dev/null", O_RDWR);
      for (int stream : {0, 1, 2}) dup2(null, stream);
      if (setgid(kOtherUser) != 0 || setuid(kOtherUser) != 0) _exit(126);
      execl("/usr/bin/flock", "flock", "--no-fork", kind, Shared().c_str(), "sleep", "60", nullptr);
      _exit(127);
    }
    // Held once the folder cannot be locked exclusively here.
    int folder = open(Shared().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (flock(folder, LOCK_EX | LOCK_NB) == 0 && std::chrono::steady_clock::now() < deadline) {
      flock(folder, LOCK_UN);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    close(folder);

    auto start = std::chrono::steady_clock::now();
    ProgramRun run = Launch("Seven");
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.exit_status, 7) << kind;
    EXPECT_TRUE(Purged()) << kind;
    EXPECT_LT(took, std::chrono::seconds(10)) << kind << ": the run waited for the lock";
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
  }
}

// Each request to end that arrives while the purge runs waits until it is done; then the run
// ends by it.
TEST_F(FwlaunchTest, APurgeOnceBegunFinishesBeforeTheRunEndsByTheSignal) {
  // A purge of 50,000 files takes the better part of a second, of 5,000 a twentieth.
  for (auto [signal, files] :
       {std::pair{SIGTERM, 50000}, std::pair{SIGHUP, 5000}, std::pair{SIGINT, 5000},
        std::pair{SIGUSR1, 5000}, std::pair{SIGUSR2, 5000}}) {
    for (int i = 0; i < files; ++i)
      close(open((Shared() / ("file" + std::to_string(i))).c_str(), O_CREAT | O_WRONLY, 0644));
    // Sent as soon as the first file is gone, so in the middle of the purge.
    int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, Shared().c_str(), IN_DELETE), 0);
    RunningProgram program = Start("Seven");
    pollfd deleted{watch, POLLIN, 0};
    EXPECT_EQ(poll(&deleted, 1, 30000), 1) << "the purge did not begin";
    kill(program.pid(), signal);
    close(watch);
    ProgramRun run = program.Wait();
    EXPECT_FALSE(run.exited) << strsignal(signal);
    EXPECT_EQ(run.signal, signal);
    std::size_t left = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(Shared()))
      left += entry.is_regular_file();
    EXPECT_EQ(left, 0u) << strsignal(signal) << " cut the purge short";
  }
}

}  // namespace
}  // namespace fwlaunch::testing
