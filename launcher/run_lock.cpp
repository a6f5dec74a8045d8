#include "launcher/run_lock.h"

namespace fwlaunch {

namespace {

bool HeldByAncestor(const platform::FolderLock& lock) {
  for (pid_t holder : platform::FlockHolders(lock.device(), lock.inode())) {
    if (platform::IsAncestor(holder)) return true;
  }
  return false;
}

}  // namespace

RunLock::RunLock(const std::string& working_folder)
    : lock_(platform::FolderLock::Open(working_folder)) {
  if (!lock_) return;
  if (lock_->TryLock()) {
    held_ = true;
    return;
  }
  if (HeldByAncestor(*lock_)) return;
  held_ = lock_->Lock();
}

}  // namespace fwlaunch
