// Runs a piece of the program in a child process, so that a crash there leaves this
// process free to report it and clean up.
#pragma once

#include <functional>
#include <optional>

namespace fwlaunch::platform {

struct ChildOutcome {
  // True when the child was ended by a signal (a crash, or killed from outside).
  bool ended_by_signal = false;
  int signal = 0;
  // The child's exit status as the system keeps it (0 to 255) when it exited.
  int exit_status = 0;
  // The last of SIGTERM, SIGHUP, SIGUSR1, SIGUSR2 that this process received and passed on
  // to the child; 0 when none came.
  int forwarded_signal = 0;

  // Whether a signal that someone sent ended the child, rather than a crash: one passed on
  // from this process, or a keyboard interrupt or quit, which a terminal sends to the child
  // directly.
  bool EndedOnRequest() const;
};

// Runs body in a forked child, whose exit status is body's result, and waits for it.
// While it waits, this process ignores the keyboard's interrupt and quit signals (a terminal
// sends them to the child too, whose handling decides the outcome) and passes SIGTERM,
// SIGHUP, SIGUSR1 and SIGUSR2 on to the child. The child starts with the signal dispositions
// and mask this process had before. Nothing when no child could be started.
std::optional<ChildOutcome> RunInChildProcess(const std::function<int()>& body);

// Ends this process by the signal, as if it had not been caught; never returns.
[[noreturn]] void EndBySignal(int signal);

}  // namespace fwlaunch::platform
