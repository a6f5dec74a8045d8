// The interpreter's functions the run uses, as one table: filled from the linked symbols on
// Linux (module/linked_api.cpp) and from python27.dll's exports on Windows
// (python27_dll/python_library.cpp), so that the protocol that uses them (script_protocol.cpp)
// is written once.
#pragma once

#include <cstdint>
#include <type_traits>

namespace fwlaunch::interpreter {

// The interpreter's objects are only ever handled through its own functions.
struct PyObjectOpaque;
using PyObjectPointer = PyObjectOpaque*;
// Py_ssize_t: as wide as a pointer.
using PySize = std::intptr_t;

// The functions and flags, each as (type, name), in one list that the table, and each system's
// way of filling it, are made from.
#define FWLAUNCH_PYTHON_EXPORTS(X)                                                            \
  /* Start-up and shutdown. */                                                                \
  X(void (*)(char*), Py_SetPythonHome)                                                        \
  X(int*, Py_OptimizeFlag)                                                                    \
  X(int*, Py_NoSiteFlag)                                                                      \
  X(void (*)(), Py_Initialize)                                                                \
  X(void (*)(), Py_Finalize)                                                                  \
  /* The module path. */                                                                      \
  X(PyObjectPointer (*)(PySize), PyList_New)                                                  \
  X(int (*)(PyObjectPointer, PyObjectPointer), PyList_Append)                                 \
  X(int (*)(char*, PyObjectPointer), PySys_SetObject)                                         \
  X(PyObjectPointer (*)(char*), PySys_GetObject)                                              \
  /* The call. */                                                                             \
  X(PyObjectPointer (*)(const char*), PyString_FromString)                                    \
  X(PyObjectPointer (*)(PyObjectPointer), PyImport_Import)                                    \
  X(PyObjectPointer (*)(PyObjectPointer), PyModule_GetDict)                                   \
  X(PyObjectPointer (*)(PyObjectPointer, const char*), PyDict_GetItemString)                  \
  X(int (*)(PyObjectPointer), PyCallable_Check)                                               \
  X(PyObjectPointer (*)(PySize), PyTuple_New)                                                 \
  X(PyObjectPointer (*)(const char*, ...), Py_BuildValue)                                     \
  X(int (*)(PyObjectPointer, PySize, PyObjectPointer), PyTuple_SetItem)                       \
  X(int (*)(), PyGILState_Ensure)                                                             \
  X(PyObjectPointer (*)(PyObjectPointer, PyObjectPointer), PyObject_CallObject)               \
  X(int (*)(PyObjectPointer, const char*, ...), PyArg_Parse)                                  \
  X(void (*)(int), PyGILState_Release)                                                        \
  /* References and errors, and what the diagnostic twin shows of them. */                    \
  X(void (*)(PyObjectPointer), Py_DecRef)                                                     \
  X(void (*)(), PyErr_Clear)                                                                  \
  X(void (*)(PyObjectPointer*, PyObjectPointer*, PyObjectPointer*), PyErr_Fetch)              \
  X(void (*)(PyObjectPointer*, PyObjectPointer*, PyObjectPointer*), PyErr_NormalizeException) \
  X(void (*)(PyObjectPointer, PyObjectPointer, PyObjectPointer), PyErr_Display)               \
  X(PyObjectPointer (*)(PyObjectPointer), PyObject_Repr)                                      \
  X(char* (*)(PyObjectPointer), PyString_AsString)

struct PythonApi {
#define FWLAUNCH_FIELD(type, name) std::type_identity_t<type> name;
  FWLAUNCH_PYTHON_EXPORTS(FWLAUNCH_FIELD)
#undef FWLAUNCH_FIELD
};

}  // namespace fwlaunch::interpreter
