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

  // Takes on the encodings a normal start takes from the locale: the file system's, and that
  // of each standard stream that is a terminal. A normal start looks them up among its codecs
  // while it starts; with the working folder as its home it could not find them then. Call
  // once the codecs can be loaded (InstallLazyCodecs); what the start already set is left alone.
  void AdoptLocaleEncodings();

 private:
  // The interpreter keeps a pointer to the home text until it is finalised.
  std::vector<char> home_;
  // And to the file system's encoding, when this set it.
  std::string filesystem_encoding_;
};

}  // namespace fwlaunch
