#include "platform/process_start.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace fwlaunch::platform {

void PrepareProcess() {
  for (int stream = STDIN_FILENO; stream <= STDERR_FILENO; ++stream) {
    if (fcntl(stream, F_GETFD) != -1 || errno != EBADF) continue;
    // open takes the lowest free number, which is this one.
    int opened = open("/dev/null", stream == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != stream) {
      dup2(opened, stream);
      close(opened);
    }
  }
  // SIGXFSZ would end the process in the middle of writing a module, before the cut file could
  // be removed.
  std::signal(SIGXFSZ, SIG_IGN);
}

// Bytes pass unchanged here already.
void UseBinaryStandardStreams() {}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace fwlaunch::platform
