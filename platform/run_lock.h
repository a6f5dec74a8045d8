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
  // folder cannot be opened.
  static RunLock Acquire(const std::string& folder);

  RunLock(RunLock&& other) noexcept;
  RunLock& operator=(RunLock&&) = delete;
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;
  ~RunLock();

  // Releases the lock now, also for every process that inherited it from this run, so that a
  // background process the run left behind never keeps the next run waiting. A run inside a
  // run releases nothing.
  void Release();

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
