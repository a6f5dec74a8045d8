// An exclusive advisory lock on a folder itself (flock on the folder), so that taking it adds
// no file to the folder. Released when its owner goes.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace fwlaunch::platform {

class FolderLock {
 public:
  // Opens the folder for locking; nothing when it is missing or no folder.
  static std::optional<FolderLock> Open(const std::string& folder);

  FolderLock(FolderLock&& other) noexcept;
  FolderLock& operator=(FolderLock&&) = delete;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock();

  // Takes the lock if nobody holds it; false at once otherwise.
  bool TryLock();
  // Waits for the lock; false when the system refuses it.
  bool Lock();

  dev_t device() const { return device_; }
  ino_t inode() const { return inode_; }

 private:
  FolderLock(int descriptor, dev_t device, ino_t inode)
      : descriptor_(descriptor), device_(device), inode_(inode) {}
  int descriptor_ = -1;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

// The processes that hold flock locks on the file with this device and inode, as
// /proc/locks names them.
std::vector<pid_t> FlockHolders(dev_t device, ino_t inode);

// Whether pid is this process's parent, grandparent and so on.
bool IsAncestor(pid_t pid);

}  // namespace fwlaunch::platform
