#include "platform/request_hold.h"

#include <windows.h>

#include <atomic>

namespace fwlaunch::platform {

namespace {

// The console calls its handlers on a thread of its own with nothing but the event, so what
// arrived can only be kept in static storage.
std::atomic<bool> control_arrived{false};

BOOL WINAPI KeepControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  control_arrived = true;
  return TRUE;
}

}  // namespace

// Nothing to keep: the handler is the same for every hold.
struct RequestHold::State {};

RequestHold::RequestHold() : state_(std::make_unique<State>()) {
  control_arrived = false;
  SetConsoleCtrlHandler(KeepControl, TRUE);
}

// What the console's own handling of Ctrl-C does, once the step is done.
RequestHold::~RequestHold() {
  SetConsoleCtrlHandler(KeepControl, FALSE);
  if (control_arrived.exchange(false)) ExitProcess(STATUS_CONTROL_C_EXIT);
}

bool RequestHold::Requested() const { return control_arrived; }

}  // namespace fwlaunch::platform
