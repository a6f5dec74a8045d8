#include <Python.h>

#include "launcher/interpreter/embedded_interpreter.h"

namespace fwlaunch {

EmbeddedInterpreter::EmbeddedInterpreter(const std::string& home)
    : home_(home.c_str(), home.c_str() + home.size() + 1) {
  Py_SetPythonHome(home_.data());
  Py_OptimizeFlag = 2;
  Py_NoSiteFlag = 1;
  Py_Initialize();
}

EmbeddedInterpreter::~EmbeddedInterpreter() { Py_Finalize(); }

}  // namespace fwlaunch
