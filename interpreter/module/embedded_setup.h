// What the interpreter linked into the module (Linux) needs around the common protocol: its
// standard library beside its own library, its program as sys.executable, ".pyd" modules
// through a finder of our own, the codecs loaded when first needed, and the locale's encodings.
#pragma once

#include <string>

#include "base/result.h"
#include "interpreter/script_protocol.h"

namespace fwlaunch::interpreter {

// The setup for a run in working_folder; fails when the interpreter's library cannot be
// located.
Result<InterpreterSetup> EmbeddedSetup(const std::string& working_folder);

}  // namespace fwlaunch::interpreter
