// The signals that ask a process to end and that a run passes on to its script, held while a
// step must finish (request_hold.h).
#pragma once

#include <csignal>

namespace fwlaunch::platform {

inline constexpr int kEndRequests[] = {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2};

}  // namespace fwlaunch::platform
