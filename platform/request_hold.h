// Holds the requests to end this process while a step that must finish once begun runs (the
// purge of the shared data folder, a file written through a temporary one): on Linux SIGINT,
// SIGTERM, SIGHUP, SIGUSR1 and SIGUSR2, on Windows the console's Ctrl-C and Ctrl-Break. One
// that arrives meanwhile waits; when the hold ends it is acted on as it would have been, which
// ends the process by it.
#pragma once

#include <memory>

namespace fwlaunch::platform {

class RequestHold {
 public:
  RequestHold();
  RequestHold(const RequestHold&) = delete;
  RequestHold& operator=(const RequestHold&) = delete;
  ~RequestHold();

  // Whether a request arrived and waits for the hold to end.
  bool Requested() const;

 private:
  // What each system keeps to undo the hold (platform/posix/, platform/windows/).
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace fwlaunch::platform
