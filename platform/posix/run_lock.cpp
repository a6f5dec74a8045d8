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
#include <cstdio>
#include <set>
#include <string>
#include <utility>

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

// The processes holding a flock on the inode. The lock table names a file by device and
// inode, but by the file system's own device number, which stat does not give on every file
// system (btrfs subvolumes); the inode alone, together with the holder being an ancestor,
// leaves no doubt in practice.
std::set<pid_t> FlockHolders(ino_t inode) {
  std::set<pid_t> holders;
  FILE* table = std::fopen("/proc/locks", "re");
  if (table == nullptr) return holders;
  char line[256];
  while (std::fgets(line, sizeof line, table) != nullptr) {
    char kind[16] = {};
    int pid = 0;
    unsigned major = 0, minor = 0;
    unsigned long long number = 0;
    // "1: FLOCK  ADVISORY  WRITE 4242 08:01:123456 0 EOF"; waiters' lines carry "->".
    if (std::sscanf(line, "%*d: %15s %*s %*s %d %x:%x:%llu", kind, &pid, &major, &minor,
                    &number) == 5 &&
        std::string(kind) == "FLOCK" && number == inode && pid > 0)
      holders.insert(pid);
  }
  std::fclose(table);
  return holders;
}

pid_t ParentOf(pid_t pid) {
  std::string path = "/proc/" + std::to_string(pid) + "/stat";
  FILE* stat = std::fopen(path.c_str(), "re");
  if (stat == nullptr) return 0;
  // "pid (name) state ppid ...": the name may hold spaces and parentheses, so read past the
  // last ')'.
  char text[512] = {};
  std::size_t length = std::fread(text, 1, sizeof text - 1, stat);
  std::fclose(stat);
  std::string line(text, length);
  std::size_t close = line.rfind(')');
  int parent = 0;
  if (close == std::string::npos || std::sscanf(line.c_str() + close + 1, " %*c %d", &parent) != 1)
    return 0;
  return parent;
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
