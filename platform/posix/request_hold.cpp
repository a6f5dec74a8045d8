#include "platform/request_hold.h"

#include <signal.h>

#include "platform/posix/end_requests.h"

namespace fwlaunch::platform {

namespace {

sigset_t EndRequestSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kEndRequests) sigaddset(&set, signal);
  return set;
}

}  // namespace

struct RequestHold::State {
  sigset_t previous_mask;
};

RequestHold::RequestHold() : state_(std::make_unique<State>()) {
  sigset_t held = EndRequestSet();
  sigprocmask(SIG_BLOCK, &held, &state_->previous_mask);
}

// Unblocked, a request that waits is delivered at once, before this returns.
RequestHold::~RequestHold() { sigprocmask(SIG_SETMASK, &state_->previous_mask, nullptr); }

bool RequestHold::Requested() const {
  sigset_t pending;
  sigpending(&pending);
  for (int signal : kEndRequests) {
    if (sigismember(&pending, signal) == 1 && sigismember(&state_->previous_mask, signal) == 0)
      return true;
  }
  return false;
}

}  // namespace fwlaunch::platform
