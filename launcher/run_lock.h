// Serialises runs: they share the fixed working folder and the shared data folder.
#pragma once

#include <optional>
#include <string>

#include "platform/folder_lock.h"

namespace fwlaunch {

// Holds the exclusive lock on the working folder from before extraction until the purge has
// ended. A second run waits for it. A run started from inside another run's script function
// goes on without waiting: its ancestor holds the lock on its behalf, and waiting for it would
// never end. Without a working folder there is nothing to lock, and the run goes on (its
// extraction then fails as usual).
class RunLock {
 public:
  explicit RunLock(const std::string& working_folder);

 private:
  std::optional<platform::FolderLock> lock_;
};

}  // namespace fwlaunch
