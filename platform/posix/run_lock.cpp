// The run lock is flock on the working folder itself, through a descriptor that no other
// process ever holds: it is closed on exec, and the section's process closes its forked copy
// first thing. So only the run's own process holds the lock, and it goes when that process
// goes, however it ends; nothing a script leaves behind can keep the next run waiting.
// A run started from inside a run finds the lock taken by one of its ancestors, which the
// system's lock table (/proc/locks) names, and goes on without waiting.
#include "platform/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <utility>

#include "platform/posix/lock_table.h"

namespace fwlaunch::platform {

struct RunLock::State {
  int descriptor = -1;
  bool owned = false;
  bool inherited = false;
};

namespace {

// How far up the process tree an ancestor is looked for; a chain is never this long.
constexpr int kAncestorDepth = 256;

int OpenFolder(const std::string& folder) {
  return open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

bool AncestorHoldsLock(int descriptor) {
  struct stat folder;
  if (fstat(descriptor, &folder) != 0) return false;
  std::set<pid_t> holders = FlockHolders(folder.st_ino);
  if (holders.empty()) return false;
  pid_t current = getppid();
  for (int depth = 0; depth < kAncestorDepth && current > 1; ++depth) {
    if (holders.count(current) != 0) return true;
    current = ParentOf(current);
  }
  return false;
}

bool WaitForLock(int descriptor) {
  while (flock(descriptor, LOCK_EX) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

}  // namespace

RunLock::RunLock(std::unique_ptr<State> state) : state_(std::move(state)) {}

RunLock::RunLock(RunLock&& other) noexcept : state_(std::move(other.state_)) {}

RunLock::~RunLock() { Release(); }

RunLock RunLock::Acquire(const std::string& folder) {
  auto state = std::make_unique<State>();
  int descriptor = OpenFolder(folder);
  if (descriptor < 0) return RunLock(std::move(state));
  state->descriptor = descriptor;
  if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    if (AncestorHoldsLock(descriptor)) {
      state->inherited = true;
      return RunLock(std::move(state));
    }
    // Should the system refuse even to wait, the run goes on unlocked, as without a folder.
    if (!WaitForLock(descriptor)) return RunLock(std::move(state));
  }
  state->owned = true;
  return RunLock(std::move(state));
}

void RunLock::Release() {
  if (!state_ || state_->descriptor < 0) return;
  if (state_->owned) flock(state_->descriptor, LOCK_UN);
  close(std::exchange(state_->descriptor, -1));
  state_->owned = false;
  state_->inherited = false;
}

void RunLock::LeaveToParent() {
  if (!state_ || state_->descriptor < 0) return;
  // Closing a copy releases nothing while the parent holds its own.
  close(std::exchange(state_->descriptor, -1));
  state_->owned = false;
  state_->inherited = false;
}

bool RunLock::owned() const { return state_ && state_->owned; }

bool RunLock::inherited() const { return state_ && state_->inherited; }

}  // namespace fwlaunch::platform
