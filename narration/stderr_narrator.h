// The diagnostic twin's narrator: each line on standard error, after the time since the run
// started.
#pragma once

#include <chrono>

#include "narration/narrator.h"

namespace fwlaunch {

class StderrNarrator final : public Narrator {
 public:
  StderrNarrator() : start_(std::chrono::steady_clock::now()) {}
  void Say(const std::string& line) override;

 private:
  std::chrono::steady_clock::time_point start_;
};

}  // namespace fwlaunch
