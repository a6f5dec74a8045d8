// The interpreter's table (interpreter/python_api.h), filled from the interpreter linked into
// this module.
#pragma once

#include "interpreter/python_api.h"

namespace fwlaunch::interpreter {

PythonApi LinkedPythonApi();

}  // namespace fwlaunch::interpreter
