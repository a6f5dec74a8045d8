// What the system's lock table (/proc/locks) and process table (/proc) say of other
// processes: who holds a flock on a file, who is whose parent, and which program each runs.
#pragma once

#include <sys/types.h>

#include <set>

namespace fwlaunch::platform {

// The processes holding a flock on the inode. The lock table names a file by device and
// inode, but by the file system's own device number, which stat does not give on every file
// system (btrfs subvolumes); the inode alone, together with what the caller knows of the
// holder, leaves no doubt in practice.
std::set<pid_t> FlockHolders(ino_t inode);

// The process's parent; 0 when it cannot be read.
pid_t ParentOf(pid_t pid);

// Whether the process runs this program or its diagnostic twin: an executable named
// "fwlaunch..." in this program's own folder. A process whose executable this one may not
// look at (another user's, unless this one is root's) is not known to be one.
bool RunsThisProgram(pid_t pid);

}  // namespace fwlaunch::platform
