#include <Python.h>

#include "launcher/interpreter/script_call.h"

#include <cstdio>
#include <stdexcept>

#include "launcher/launch_failure.h"
#include "launcher/interpreter/py_ref.h"

namespace fwlaunch {

namespace {

constexpr char kLaunchModule[] = "Launch";

// Drops the pending error; with a narrator, first shows its traceback on standard error and
// says what failed. (PyErr_Display, not PyErr_Print: that would end the process on SystemExit.)
void DropError(Narrator* narrator, const std::string& what) {
  if (narrator == nullptr) {
    PyErr_Clear();
    return;
  }
  PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  if (type != nullptr) {
    PyErr_NormalizeException(&type, &value, &traceback);
    PyErr_Display(type, value, traceback);
    std::fflush(stderr);
  }
  Py_XDECREF(type);
  Py_XDECREF(value);
  Py_XDECREF(traceback);
  PyErr_Clear();
  narrator->Say(what + (type != nullptr ? " (the interpreter's words above)" : ""));
}

PyRef ImportLaunch(Narrator* narrator) {
  PyRef name(PyString_FromString(kLaunchModule));
  if (!name) throw std::runtime_error("module name");
  PyRef module(PyImport_Import(name.get()));
  if (!module) {
    DropError(narrator, "Launch could not be imported");
    throw LaunchFailure(kLaunchNotLoaded);
  }
  Narrate(narrator, [&] { return "imported Launch: " + Repr(module.get()); });
  return module;
}

// A borrowed reference to the callable, found at the module's top level by exact name.
PyObject* FindFunction(PyObject* module, const std::string& function_name, Narrator* narrator) {
  // Something other than a module may stand in sys.modules under that name; it has no
  // dictionary to look in.
  PyObject* dictionary = PyModule_Check(module) ? PyModule_GetDict(module) : nullptr;
  PyObject* function =
      dictionary != nullptr ? PyDict_GetItemString(dictionary, function_name.c_str()) : nullptr;
  if (function == nullptr || !PyCallable_Check(function)) {
    PyErr_Clear();
    Narrate(narrator, [&] {
      if (dictionary == nullptr) return std::string("Launch is no module: it has no functions");
      if (function == nullptr) return "Launch has no top-level name " + function_name;
      return "Launch." + function_name + " is not callable: " + Repr(function);
    });
    throw LaunchFailure(kFunctionMissing);
  }
  Narrate(narrator, [&] { return "found Launch." + function_name + ": " + Repr(function); });
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

int CallScriptFunction(const std::string& function_name, const std::vector<std::string>& arguments,
                       Narrator* narrator) {
  PyRef module = ImportLaunch(narrator);
  PyObject* function = FindFunction(module.get(), function_name, narrator);
  PyRef call_arguments = BuildArguments(arguments);
  Narrate(narrator, [&] {
    return "calling Launch." + function_name + " with " + Repr(call_arguments.get());
  });

  int exit_status = -1;
  PyGILState_STATE gil = PyGILState_Ensure();
  {
    PyRef result(PyObject_CallObject(function, call_arguments.get()));
    // A function that raised produced nothing to convert; a result that is no 32-bit
    // integer fails to convert. Either way the status stays -1 and no trace is shown.
    if (!result) {
      DropError(narrator, "Launch." + function_name + " raised: exit status -1");
    } else if (!PyArg_Parse(result.get(), "i", &exit_status)) {
      exit_status = -1;
      DropError(narrator, "Launch." + function_name + " returned " + Repr(result.get()) +
                              ", which is no 32-bit integer: exit status -1");
    } else {
      Narrate(narrator, [&] {
        return "Launch." + function_name + " returned " + std::to_string(exit_status);
      });
    }
  }
  PyGILState_Release(gil);
  return exit_status;
}

}  // namespace fwlaunch
