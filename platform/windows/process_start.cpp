#include "platform/process_start.h"

namespace fwlaunch::platform {

// Windows hands a missing standard stream over as no handle, which the C runtime and the
// interpreter treat as closed; no file the program opens can take its place, and there is no
// signal for file size limits.
void PrepareProcess() {}

}  // namespace fwlaunch::platform
