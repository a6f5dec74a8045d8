// Each run holds a shared flock on the shared data folder; the last out gets it exclusively
// and purges. When it cannot, the lock table names the holders, and only a live run of this
// program among them counts: another process's lock, shared or exclusive, is passed over.
#include "platform/shared_data_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

#include "platform/posix/lock_table.h"

namespace fwlaunch::platform {

struct SharedDataClaim::State {
  int descriptor = -1;
  bool held = false;
};

namespace {

// How often a run waiting for another run's purge looks again. Polled, not waited on in the
// kernel, so that an exclusive lock another process takes meanwhile cannot hold the run up.
constexpr std::chrono::milliseconds kPurgePoll{5};

// A live run of this program other than this process among the folder's holders.
std::optional<long> OtherRunHolding(int descriptor) {
  struct stat folder;
  if (fstat(descriptor, &folder) != 0) return std::nullopt;
  for (pid_t holder : FlockHolders(folder.st_ino)) {
    if (holder != getpid() && RunsThisProgram(holder)) return holder;
  }
  return std::nullopt;
}

}  // namespace

SharedDataClaim::SharedDataClaim(std::unique_ptr<State> state) : state_(std::move(state)) {}

SharedDataClaim::SharedDataClaim(SharedDataClaim&& other) noexcept
    : state_(std::move(other.state_)) {}

SharedDataClaim::~SharedDataClaim() { Release(); }

SharedDataClaim SharedDataClaim::Take(const std::string& folder) {
  auto state = std::make_unique<State>();
  state->descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (state->descriptor < 0) return SharedDataClaim(std::move(state));
  for (;;) {
    if (flock(state->descriptor, LOCK_SH | LOCK_NB) == 0) {
      state->held = true;
      break;
    }
    if (errno == EINTR) continue;
    // Held exclusively: by a run that purges, which ends soon, or by another process, which
    // must not keep this run waiting.
    if (errno != EWOULDBLOCK || !OtherRunHolding(state->descriptor)) break;
    std::this_thread::sleep_for(kPurgePoll);
  }
  return SharedDataClaim(std::move(state));
}

std::optional<long> SharedDataClaim::ActiveRunBesidesThis() {
  if (!state_ || state_->descriptor < 0) return std::nullopt;
  // The system gives up the shared lock when it cannot make it exclusive: two runs that end
  // together cannot both fail to purge.
  while (flock(state_->descriptor, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    state_->held = false;
    return OtherRunHolding(state_->descriptor);
  }
  state_->held = true;
  return std::nullopt;
}

void SharedDataClaim::Release() {
  if (!state_ || state_->descriptor < 0) return;
  if (state_->held) flock(state_->descriptor, LOCK_UN);
  close(std::exchange(state_->descriptor, -1));
  state_->held = false;
}

void SharedDataClaim::LeaveToParent() {
  if (!state_ || state_->descriptor < 0) return;
  // Closing a copy releases nothing while the parent holds its own.
  close(std::exchange(state_->descriptor, -1));
  state_->held = false;
}

}  // namespace fwlaunch::platform
