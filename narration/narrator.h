// Where a run tells what it does, step by step, for a person finding out why it failed. The
// launcher itself runs without one and says nothing beyond its fixed lines; its diagnostic twin
// runs the same code with one that writes to standard error.
#pragma once

#include <string>

namespace fwlaunch {

class Narrator {
 public:
  virtual ~Narrator() = default;
  // One line about the step that just happened.
  virtual void Say(const std::string& line) = 0;
};

// Says the line that make() composes, composing it only when someone listens.
template <typename Compose>
void Narrate(Narrator* narrator, Compose&& make) {
  if (narrator != nullptr) narrator->Say(make());
}

}  // namespace fwlaunch
