#include "platform/process_start.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <optional>

#include "platform/windows/narrow_path.h"

namespace fwlaunch::platform {

// Windows hands a missing standard stream over as no handle, which the C runtime and the
// interpreter treat as closed; no file the program opens can take its place, and there is no
// signal for file size limits.
void PrepareProcess() {}

void UseBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  std::vector<std::string> arguments(argv, argv + argc);
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  // Read alike, the two lists match one for one; otherwise the narrow one is all there is.
  if (count == argc) {
    for (int i = 1; i < argc; ++i) {
      if (ExactNarrowText(wide[i])) continue;
      if (std::optional<std::string> path = NarrowPathFor(wide[i])) arguments[i] = *path;
    }
  }
  LocalFree(wide);
  return arguments;
}

}  // namespace fwlaunch::platform
