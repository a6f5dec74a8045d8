// The run lock is flock on the working folder itself. Its descriptor is inherited by every
// process the run starts, and marks itself as held with its owner, the run's process id
// (F_SETOWN, which affects nothing else for a folder). A run started from inside the run
// finds that inherited, marked descriptor and goes on without waiting. The owner clears the
// mark and unlocks explicitly at its end: flock belongs to the open folder that every
// inheriting process shares, so closing the run's own copy would leave the lock held for as
// long as a background process the script started keeps its copy open.
#include "platform/run_lock.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace fwlaunch::platform {

struct RunLock::State {
  int descriptor = -1;
  bool owned = false;
  bool inherited = false;
};

namespace {

// Above the standard streams: a run started with one of them closed must not find the folder
// standing in for it.
constexpr int kLowestDescriptor = 3;
// Where /proc is missing, descriptors are probed up to here.
constexpr int kProbedDescriptors = 1024;

int OpenFolder(const std::string& folder) {
  int opened = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (opened < 0 || opened >= kLowestDescriptor) return opened;
  int moved = fcntl(opened, F_DUPFD_CLOEXEC, kLowestDescriptor);
  close(opened);
  return moved;
}

bool SameFile(int descriptor, const struct stat& folder) {
  struct stat status;
  return fstat(descriptor, &status) == 0 && status.st_dev == folder.st_dev &&
         status.st_ino == folder.st_ino;
}

// An inherited descriptor on the same folder whose owner mark says a run holds the lock.
bool IsHeldByAncestor(int descriptor, int own, const struct stat& folder) {
  return descriptor != own && descriptor >= kLowestDescriptor && SameFile(descriptor, folder) &&
         fcntl(descriptor, F_GETOWN) > 0;
}

bool AncestorHoldsLock(int own) {
  struct stat folder;
  if (fstat(own, &folder) != 0) return false;
  if (DIR* descriptors = opendir("/proc/self/fd")) {
    bool found = false;
    while (const dirent* entry = readdir(descriptors)) {
      if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
      int descriptor = std::atoi(entry->d_name);
      if (descriptor != dirfd(descriptors) && IsHeldByAncestor(descriptor, own, folder)) {
        found = true;
        break;
      }
    }
    closedir(descriptors);
    return found;
  }
  for (int descriptor = kLowestDescriptor; descriptor < kProbedDescriptors; ++descriptor)
    if (IsHeldByAncestor(descriptor, own, folder)) return true;
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
  // Runs this run starts inherit the descriptor, marked as held by this process.
  fcntl(descriptor, F_SETFD, 0);
  fcntl(descriptor, F_SETOWN, getpid());
  return RunLock(std::move(state));
}

void RunLock::Release() {
  if (!state_ || state_->descriptor < 0) return;
  if (state_->owned) {
    fcntl(state_->descriptor, F_SETOWN, 0);
    flock(state_->descriptor, LOCK_UN);
  }
  close(std::exchange(state_->descriptor, -1));
  state_->owned = false;
  state_->inherited = false;
}

bool RunLock::owned() const { return state_ && state_->owned; }

bool RunLock::inherited() const { return state_ && state_->inherited; }

}  // namespace fwlaunch::platform
