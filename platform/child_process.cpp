#include "platform/child_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

namespace fwlaunch::platform {

namespace {

// Ignores SIGINT and SIGQUIT for its lifetime, as a shell does while a command runs.
class KeyboardSignalsIgnored {
 public:
  KeyboardSignalsIgnored() {
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGINT, &ignore, &saved_interrupt_);
    sigaction(SIGQUIT, &ignore, &saved_quit_);
  }
  KeyboardSignalsIgnored(const KeyboardSignalsIgnored&) = delete;
  KeyboardSignalsIgnored& operator=(const KeyboardSignalsIgnored&) = delete;
  ~KeyboardSignalsIgnored() { Restore(); }

  void Restore() const {
    sigaction(SIGINT, &saved_interrupt_, nullptr);
    sigaction(SIGQUIT, &saved_quit_, nullptr);
  }

 private:
  struct sigaction saved_interrupt_ = {};
  struct sigaction saved_quit_ = {};
};

}  // namespace

std::optional<ChildOutcome> RunInChildProcess(const std::function<int()>& body) {
  // Whatever is buffered now must be written once, not once per process.
  std::fflush(stdout);
  std::fflush(stderr);

  KeyboardSignalsIgnored keyboard_signals;
  pid_t child = fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    keyboard_signals.Restore();
    int status = body();
    std::fflush(stdout);
    std::fflush(stderr);
    // The parent owns everything else that was set up before the fork.
    _exit(status);
  }

  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return std::nullopt;
  }
  ChildOutcome outcome;
  if (WIFSIGNALED(status)) {
    outcome.ended_by_signal = true;
    outcome.signal = WTERMSIG(status);
  } else {
    outcome.exit_status = WEXITSTATUS(status);
  }
  return outcome;
}

}  // namespace fwlaunch::platform
