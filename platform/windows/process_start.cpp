#include "platform/process_start.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace fwlaunch::platform {

// Windows hands a missing standard stream over as no handle, which the C runtime and the
// interpreter treat as closed; no file the program opens can take its place, and there is no
// signal for file size limits.
void PrepareProcess() {}

void UseBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace fwlaunch::platform
