// An exclusive lock per folder that serialises runs sharing it. It adds no file to the folder.
#pragma once

#include <memory>
#include <string>

namespace fwlaunch::platform {

class RunLock {
 public:
  // Takes the lock on folder for this run, waiting while another run holds it. A process
  // started from inside the run that holds it (a run inside a run) goes on at once without
  // taking anything: waiting for its own ancestor would never end. Holds nothing when the
  // folder cannot be opened. Only the process that took it holds it: the lock goes when that
  // process ends, and no process it starts inherits it.
  static RunLock Acquire(const std::string& folder);

  RunLock(RunLock&& other) noexcept;
  RunLock& operator=(RunLock&&) = delete;
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;
  ~RunLock();

  // Releases the lock now. A run inside a run releases nothing.
  void Release();

  // For the section's process, which runs under the lock its parent took: lets go of this
  // process's hold without releasing the lock, so that nothing the section starts holds it.
  void LeaveToParent();

  // Whether this process took the lock itself.
  bool owned() const;
  // Whether this process goes on under a lock its ancestor holds.
  bool inherited() const;

 private:
  struct State;
  explicit RunLock(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace fwlaunch::platform
