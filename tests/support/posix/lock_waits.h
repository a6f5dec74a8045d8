// Seeing that a process waits for a lock, as the system's lock table shows it, instead of
// guessing from how long it has not gone on.
#pragma once

namespace fwlaunch::testing {

// Whether the process is, or within ten seconds comes to be, blocked waiting for a flock.
bool WaitsForALock(int pid);

}  // namespace fwlaunch::testing
