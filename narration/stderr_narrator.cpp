#include "narration/stderr_narrator.h"

#include <cstdio>

namespace fwlaunch {

void StderrNarrator::Say(const std::string& line) {
  auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - start_);
  std::fprintf(stderr, "fwlaunch-trace: %8.3f ms  %s\n",
               static_cast<double>(elapsed.count()) / 1000, line.c_str());
  std::fflush(stderr);
}

}  // namespace fwlaunch
