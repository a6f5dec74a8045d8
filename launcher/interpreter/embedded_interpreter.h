// The embedded CPython 2.7 interpreter, alive as long as its owner.
#pragma once

#include <string>
#include <vector>

namespace fwlaunch {

class EmbeddedInterpreter {
 public:
  // Sets the home, asks for optimised modules (.pyo) and no site module, and starts the
  // interpreter.
  explicit EmbeddedInterpreter(const std::string& home);
  EmbeddedInterpreter(const EmbeddedInterpreter&) = delete;
  EmbeddedInterpreter& operator=(const EmbeddedInterpreter&) = delete;
  ~EmbeddedInterpreter();

 private:
  // The interpreter keeps a pointer to the home text until it is finalised.
  std::vector<char> home_;
};

}  // namespace fwlaunch
