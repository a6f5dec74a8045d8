// The interpreter's library (python27.dll) bound at run time: exactly the exports the run uses
// (interpreter/python_api.h), found by name, so that a missing or unusable interpreter is a
// failure the run reports and survives, never a loader error before it starts.
#pragma once

#include <string>

#include "base/result.h"
#include "interpreter/python_api.h"
#include "platform/dynamic_library.h"

namespace fwlaunch::interpreter {

// The loaded interpreter library with its exports.
class PythonLibrary {
 public:
  // Fails when it cannot be loaded or lacks one of the exports, saying which.
  static Result<PythonLibrary> Load(const std::string& name);

  const PythonApi& api() const { return api_; }

 private:
  PythonLibrary(platform::DynamicLibrary library, const PythonApi& api)
      : library_(std::move(library)), api_(api) {}
  platform::DynamicLibrary library_;
  PythonApi api_;
};

}  // namespace fwlaunch::interpreter
