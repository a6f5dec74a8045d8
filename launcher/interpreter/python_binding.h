// The interpreter's library (python27.dll) bound at run time: exactly the exports the run uses,
// found by name, so that a missing or unusable interpreter is a failure the run reports and
// survives, never a loader error before it starts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/dynamic_library.h"

namespace fwlaunch {

// The interpreter's objects are only ever handled through its own functions.
struct PyObjectOpaque;
using PyObjectPointer = PyObjectOpaque*;
// Py_ssize_t: as wide as a pointer.
using PySize = std::intptr_t;

struct PythonExports {
  void (*Py_SetPythonHome)(char*);
  int* Py_OptimizeFlag;
  int* Py_NoSiteFlag;
  void (*Py_Initialize)();
  PyObjectPointer (*PyString_FromString)(const char*);
  PyObjectPointer (*PyImport_Import)(PyObjectPointer);
  PyObjectPointer (*PyModule_GetDict)(PyObjectPointer);
  PyObjectPointer (*PyDict_GetItemString)(PyObjectPointer, const char*);
  int (*PyCallable_Check)(PyObjectPointer);
  PyObjectPointer (*PyTuple_New)(PySize);
  PyObjectPointer (*Py_BuildValue)(const char*, ...);
  int (*PyTuple_SetItem)(PyObjectPointer, PySize, PyObjectPointer);
  int (*PyGILState_Ensure)();
  PyObjectPointer (*PyObject_CallObject)(PyObjectPointer, PyObjectPointer);
  int (*PyArg_Parse)(PyObjectPointer, const char*, ...);
  void (*PyGILState_Release)(int);
  void (*Py_Finalize)();
  void (*Py_IncRef)(PyObjectPointer);
  void (*Py_DecRef)(PyObjectPointer);
  PyObjectPointer (*PyErr_Occurred)();
  void (*PyErr_Clear)();
  void (*PyErr_Print)();
  PyObjectPointer (*PyList_New)(PySize);
  int (*PyList_Append)(PyObjectPointer, PyObjectPointer);
  int (*PySys_SetObject)(char*, PyObjectPointer);
};

// The loaded interpreter library with its exports; nothing when it cannot be loaded or lacks
// one of them (the missing name in *missing).
class PythonLibrary {
 public:
  static std::optional<PythonLibrary> Load(const std::string& name, std::string* missing);

  const PythonExports& api() const { return exports_; }

 private:
  PythonLibrary(platform::DynamicLibrary library, const PythonExports& exports)
      : library_(std::move(library)), exports_(exports) {}
  platform::DynamicLibrary library_;
  PythonExports exports_;
};

}  // namespace fwlaunch
