#include <Python.h>

#include "launcher/interpreter/script_call.h"

#include <stdexcept>

#include "launcher/launch_failure.h"
#include "launcher/interpreter/py_ref.h"

namespace fwlaunch {

namespace {

constexpr char kLaunchModule[] = "Launch";

PyRef ImportLaunch() {
  PyRef name(PyString_FromString(kLaunchModule));
  if (!name) throw std::runtime_error("module name");
  PyRef module(PyImport_Import(name.get()));
  if (!module) {
    PyErr_Clear();
    throw LaunchFailure(kLaunchNotLoaded);
  }
  return module;
}

// A borrowed reference to the callable, found at the module's top level by exact name.
PyObject* FindFunction(PyObject* module, const std::string& function_name) {
  // Something other than a module may stand in sys.modules under that name; it has no
  // dictionary to look in.
  PyObject* dictionary = PyModule_Check(module) ? PyModule_GetDict(module) : nullptr;
  PyObject* function =
      dictionary != nullptr ? PyDict_GetItemString(dictionary, function_name.c_str()) : nullptr;
  if (function == nullptr || !PyCallable_Check(function)) {
    PyErr_Clear();
    throw LaunchFailure(kFunctionMissing);
  }
  return function;
}

PyRef BuildArguments(const std::vector<std::string>& arguments) {
  PyRef tuple(PyTuple_New(static_cast<Py_ssize_t>(arguments.size())));
  if (!tuple) throw std::runtime_error("argument tuple");
  for (std::size_t index = 0; index < arguments.size(); ++index) {
    PyObject* item = Py_BuildValue("s", arguments[index].c_str());
    if (item == nullptr) throw std::runtime_error("argument string");
    PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(index), item);  // steals item
  }
  return tuple;
}

}  // namespace

int CallScriptFunction(const std::string& function_name, const std::vector<std::string>& arguments) {
  PyRef module = ImportLaunch();
  PyObject* function = FindFunction(module.get(), function_name);
  PyRef call_arguments = BuildArguments(arguments);

  int exit_status = -1;
  PyGILState_STATE gil = PyGILState_Ensure();
  {
    PyRef result(PyObject_CallObject(function, call_arguments.get()));
    // A function that raised produced nothing to convert; a result that is no 32-bit
    // integer fails to convert. Either way the status stays -1 and no trace is shown.
    if (!result || !PyArg_Parse(result.get(), "i", &exit_status)) PyErr_Clear();
  }
  PyGILState_Release(gil);
  return exit_status;
}

}  // namespace fwlaunch
