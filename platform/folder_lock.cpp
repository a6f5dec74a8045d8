#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>

namespace fwlaunch::platform {

std::optional<FolderLock> FolderLock::Open(const std::string& folder) {
  int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return std::nullopt;
  struct stat status;
  if (fstat(descriptor, &status) != 0) {
    close(descriptor);
    return std::nullopt;
  }
  return FolderLock(descriptor, status.st_dev, status.st_ino);
}

FolderLock::FolderLock(FolderLock&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)),
      device_(other.device_),
      inode_(other.inode_) {}

FolderLock::~FolderLock() {
  if (descriptor_ >= 0) close(descriptor_);
}

bool FolderLock::TryLock() { return flock(descriptor_, LOCK_EX | LOCK_NB) == 0; }

bool FolderLock::Lock() {
  while (flock(descriptor_, LOCK_EX) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

std::vector<pid_t> FlockHolders(dev_t device, ino_t inode) {
  std::vector<pid_t> holders;
  std::ifstream locks("/proc/locks");
  std::string line;
  // "1: FLOCK  ADVISORY  WRITE 9910 fe:00:10960908 0 EOF"; blocked waiters carry "->".
  while (std::getline(locks, line)) {
    std::istringstream fields(line);
    std::string number, kind, advisory, access, where;
    long pid = 0;
    if (!(fields >> number >> kind) || kind == "->" || kind != "FLOCK") continue;
    if (!(fields >> advisory >> access >> pid >> where)) continue;
    unsigned major_number = 0, minor_number = 0;
    std::uintmax_t file = 0;
    if (std::sscanf(where.c_str(), "%x:%x:%" SCNuMAX, &major_number, &minor_number, &file) != 3)
      continue;
    if (makedev(major_number, minor_number) == device && file == inode)
      holders.push_back(static_cast<pid_t>(pid));
  }
  return holders;
}

namespace {

// The parent of a process, from /proc/PID/stat: "pid (name) state ppid ...", where the name
// may itself hold spaces and parentheses.
pid_t ParentOf(pid_t pid) {
  std::ifstream stat_file("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat_file)), std::istreambuf_iterator<char>());
  std::size_t name_end = text.rfind(')');
  if (name_end == std::string::npos) return 0;
  std::istringstream rest(text.substr(name_end + 1));
  std::string state;
  long parent = 0;
  rest >> state >> parent;
  return static_cast<pid_t>(parent);
}

}  // namespace

bool IsAncestor(pid_t pid) {
  if (pid <= 1) return false;
  // Bounded, in case processes end and their numbers are reused while the chain is read.
  pid_t ancestor = getppid();
  for (int depth = 0; depth < 4096 && ancestor > 1; ++depth, ancestor = ParentOf(ancestor)) {
    if (ancestor == pid) return true;
  }
  return false;
}

}  // namespace fwlaunch::platform
