#include "tests/support/posix/lock_waits.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace fwlaunch::testing {

namespace {

// A waiter's line: "1: -> FLOCK  ADVISORY  WRITE 4242 08:01:123456 0 EOF".
bool ListedAsWaiting(int pid) {
  std::ifstream table("/proc/locks");
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string number, arrow, kind, advisory, mode;
    int holder = 0;
    if (fields >> number >> arrow >> kind >> advisory >> mode >> holder && arrow == "->" &&
        kind == "FLOCK" && holder == pid)
      return true;
  }
  return false;
}

}  // namespace

bool WaitsForALock(int pid) {
  for (int i = 0; i < 1000; ++i) {
    if (ListedAsWaiting(pid)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace fwlaunch::testing
