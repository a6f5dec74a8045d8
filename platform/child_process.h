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
};

// Runs body in a forked child, whose exit status is body's result, and waits for it.
// While it waits, this process ignores the keyboard's interrupt and quit signals: they reach
// the child, whose handling decides the outcome. The child gets the dispositions this
// process had before. Nothing when no child could be started.
std::optional<ChildOutcome> RunInChildProcess(const std::function<int()>& body);

}  // namespace fwlaunch::platform
