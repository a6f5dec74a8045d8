// The run lock between processes: forked helpers stand in for runs, pipes for their words.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "platform/run_lock.h"
#include "tests/support/posix/lock_waits.h"
#include "tests/support/scratch_folder.h"

namespace fwlaunch::platform {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

// A one-way channel between processes: one side says a byte, the other waits for it.
class Signal {
 public:
  Signal() {
    if (pipe(ends_) != 0) throw std::runtime_error("pipe");
  }
  ~Signal() {
    close(ends_[0]);
    close(ends_[1]);
  }
  int WriteEnd() const { return ends_[1]; }
  int ReadEnd() const { return ends_[0]; }
  void Say(char what = '!') const { (void)!write(ends_[1], &what, 1); }
  char Hear() const {
    char what = 0;
    return read(ends_[0], &what, 1) == 1 ? what : 0;
  }

 private:
  int ends_[2];
};

// Runs body in a forked process that ends when it returns; returns the process id.
pid_t Spawn(const std::function<void()>& body) {
  pid_t pid = fork();
  if (pid == 0) {
    body();
    _exit(0);
  }
  return pid;
}

// Runs body in a process that is no descendant of this one (its parent ends at once), as a
// run started elsewhere; returns its process id.
pid_t SpawnElsewhere(const std::function<void()>& body) {
  int ends[2];
  if (pipe(ends) != 0) throw std::runtime_error("pipe");
  pid_t middle = fork();
  if (middle == 0) {
    pid_t self = getpid();
    pid_t pid = fork();
    if (pid == 0) {
      // Until its parent has ended, it would still be this process's descendant.
      while (getppid() == self) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      body();
      _exit(0);
    }
    (void)!write(ends[1], &pid, sizeof pid);
    _exit(0);
  }
  waitpid(middle, nullptr, 0);
  pid_t pid = -1;
  (void)!read(ends[0], &pid, sizeof pid);
  close(ends[0]);
  close(ends[1]);
  return pid;
}

bool Alive(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == 0; }

// Whether the signal's channel has a byte waiting within the time; nothing is taken.
bool SaidWithin(int read_end, std::chrono::milliseconds time) {
  pollfd ready = {read_end, POLLIN, 0};
  return poll(&ready, 1, static_cast<int>(time.count())) == 1;
}

void Reap(pid_t pid) {
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

class RunLockTest : public ::testing::Test {
 protected:
  std::string Folder() const { return scratch.path().string() + "/"; }
  ScratchFolder scratch;
};

TEST_F(RunLockTest, ASecondRunWaitsUntilTheFirstReleasesAndNotUntilItEnds) {
  Signal held, release, second_took;
  pid_t first = Spawn([&] {
    RunLock lock = RunLock::Acquire(Folder());
    held.Say(lock.owned() ? 'o' : 'x');
    release.Hear();
    lock.Release();
    std::this_thread::sleep_for(std::chrono::seconds(10));
  });
  ASSERT_EQ(held.Hear(), 'o');
  // Not the first run's descendant: it must wait.
  pid_t second = Spawn([&] {
    RunLock lock = RunLock::Acquire(Folder());
    second_took.Say(lock.owned() && !lock.inherited() ? 'o' : 'x');
  });
  EXPECT_TRUE(testing::WaitsForALock(second)) << "the second run did not wait";
  release.Say();
  EXPECT_EQ(second_took.Hear(), 'o');
  EXPECT_TRUE(Alive(first)) << "the lock came free only when its holder ended";
  Reap(second);
  Reap(first);
}

TEST_F(RunLockTest, ABackgroundProcessLeftByARunHoldsNothing) {
  Signal ready;
  pid_t background = 0;
  {
    RunLock lock = RunLock::Acquire(Folder());
    ASSERT_TRUE(lock.owned());
    // A daemon the script started keeps every descriptor the run had.
    background = Spawn([] { std::this_thread::sleep_for(std::chrono::seconds(10)); });
  }
  Signal result;
  pid_t next = Spawn([&] {
    RunLock lock = RunLock::Acquire(Folder());
    result.Say(lock.owned() ? 'o' : 'x');
  });
  EXPECT_EQ(result.Hear(), 'o');
  EXPECT_TRUE(Alive(background)) << "the next run waited for the background process to end";
  Reap(next);
  Reap(background);
}

TEST_F(RunLockTest, ARunInsideARunGoesOnAtOnceAndReleasesNothing) {
  RunLock lock = RunLock::Acquire(Folder());
  ASSERT_TRUE(lock.owned());
  Signal result;
  pid_t nested = Spawn([&] {
    RunLock inner = RunLock::Acquire(Folder());
    bool went_on = inner.inherited() && !inner.owned();
    inner.Release();
    result.Say(went_on ? 'i' : 'x');
  });
  EXPECT_EQ(result.Hear(), 'i');
  waitpid(nested, nullptr, 0);

  // The outer lock still holds: an outsider must still wait for it.
  Signal outsider_holds;
  pid_t outsider = SpawnElsewhere([&] {
    RunLock taken = RunLock::Acquire(Folder());
    outsider_holds.Say(taken.owned() ? 'o' : 'x');
  });
  EXPECT_TRUE(testing::WaitsForALock(outsider)) << "the outsider did not wait";
  EXPECT_FALSE(SaidWithin(outsider_holds.ReadEnd(), std::chrono::milliseconds(0)))
      << "the outsider got the lock while the run held it";
  lock.Release();
  EXPECT_EQ(outsider_holds.Hear(), 'o');
  kill(outsider, SIGKILL);
}

TEST_F(RunLockTest, ADescriptorLeftFromAnEndedRunDoesNotLetAProcessSkipTheQueue) {
  Signal go, result;
  pid_t leftover = 0;
  {
    RunLock ended = RunLock::Acquire(Folder());
    leftover = Spawn([&] {
      go.Hear();
      RunLock lock = RunLock::Acquire(Folder());
      result.Say(lock.owned() ? 'o' : 'x');
    });
  }
  // Another run holds the lock now; the leftover process must queue behind it.
  Signal other_holds, other_release;
  pid_t other = Spawn([&] {
    RunLock lock = RunLock::Acquire(Folder());
    other_holds.Say();
    other_release.Hear();
  });
  ASSERT_EQ(other_holds.Hear(), '!');
  go.Say();
  EXPECT_TRUE(testing::WaitsForALock(leftover))
      << "the leftover process went on under another run's lock";
  other_release.Say();
  EXPECT_EQ(result.Hear(), 'o');
  Reap(other);
  Reap(leftover);
}

TEST_F(RunLockTest, AMissingFolderHoldsNothing) {
  RunLock lock = RunLock::Acquire(Folder() + "missing/");
  EXPECT_FALSE(lock.owned());
  EXPECT_FALSE(lock.inherited());
  lock.Release();
}

}  // namespace
}  // namespace fwlaunch::platform
