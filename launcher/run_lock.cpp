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
  if (lock_->TryLock() || HeldByAncestor(*lock_)) return;
  // Should the system refuse even to wait, the run goes on unlocked, as without a folder.
  lock_->Lock();
}

}  // namespace fwlaunch
