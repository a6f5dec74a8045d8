// An interrupt sent to the run's whole process group (a supervisor, timeout, kill -INT -PGID)
// or to each of its processes (pkill) reaches the section's process directly and, passed on,
// through the launcher too. So the launcher passes an interrupt on as a copy: a real-time
// signal carrying the original sender, queued apart from SIGINT and never merged with it. The
// section's process pairs each copy with a direct interrupt from the same sender and hands on
// only the first of the pair; no timing decides.
#pragma once

#include <sys/types.h>

namespace fwlaunch::platform {

// The signal that carries a copy; blocked in the launcher from before the fork until the
// section's process takes it (ReceiveInterruptCopies).
int InterruptCopySignal();

// In the launcher: passes on to the section's process an interrupt that sender sent.
void PassOnInterrupt(pid_t section, pid_t sender);

// In the section's process, first thing: a copy acts as SIGINT's disposition of the moment
// would (at first the default, which ends the process by SIGINT).
void ReceiveInterruptCopies();

}  // namespace fwlaunch::platform
