// The interpreter linked into the program (Linux): its standard library is found where the
// build found it, and ".pyd" extension modules through a finder of our own.
#include <Python.h>

#include "launcher/interpreter/embedded_interpreter.h"
#include "launcher/interpreter/module_search.h"
#include "launcher/interpreter/py_ref.h"
#include "launcher/interpreter/script_call.h"
#include "launcher/interpreter/script_run.h"

#ifndef FWLAUNCH_PYTHON_STDLIB
#error "FWLAUNCH_PYTHON_STDLIB names the embedded interpreter's standard-library folder"
#endif

namespace fwlaunch {

namespace {

std::string SearchPath() {
  PyObject* path = PySys_GetObject(const_cast<char*>("path"));  // borrowed
  PyRef text(path != nullptr ? PyObject_Repr(path) : nullptr);
  if (!text || !PyString_Check(text.get())) {
    PyErr_Clear();
    return "?";
  }
  return PyString_AsString(text.get());
}

}  // namespace

int RunScript(const std::string& working_folder, const std::string& function_name,
              const std::vector<std::string>& arguments, Narrator* narrator) {
  EmbeddedInterpreter interpreter(working_folder);
  PrepareModuleSearch(working_folder, FWLAUNCH_PYTHON_STDLIB);
  interpreter.AdoptLocaleEncodings();
  Narrate(narrator, [&] {
    return "interpreter started, home " + working_folder + ", sys.path " + SearchPath();
  });
  int exit_status = CallScriptFunction(function_name, arguments, narrator);
  return exit_status;
}

}  // namespace fwlaunch
