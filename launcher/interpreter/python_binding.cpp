#include "launcher/interpreter/python_binding.h"

#include <utility>

namespace fwlaunch {

namespace {

// Resolves one export into its slot; false, naming it, when the library has none.
template <typename Slot>
bool Resolve(const platform::DynamicLibrary& library, const char* name, Slot* slot,
             std::string* missing) {
  void* address = library.Symbol(name);
  if (address == nullptr) {
    if (missing != nullptr) *missing = name;
    return false;
  }
  *slot = reinterpret_cast<Slot>(address);
  return true;
}

}  // namespace

std::optional<PythonLibrary> PythonLibrary::Load(const std::string& name, std::string* missing) {
  Result<platform::DynamicLibrary> library = platform::DynamicLibrary::Open(name);
  if (!library) {
    if (missing != nullptr) *missing = library.reason();
    return std::nullopt;
  }
  PythonExports api{};
#define FWLAUNCH_RESOLVE(export_name) \
  Resolve(*library, #export_name, &api.export_name, missing)
  bool complete =
      FWLAUNCH_RESOLVE(Py_SetPythonHome) && FWLAUNCH_RESOLVE(Py_OptimizeFlag) &&
      FWLAUNCH_RESOLVE(Py_NoSiteFlag) && FWLAUNCH_RESOLVE(Py_Initialize) &&
      FWLAUNCH_RESOLVE(PyString_FromString) && FWLAUNCH_RESOLVE(PyImport_Import) &&
      FWLAUNCH_RESOLVE(PyModule_GetDict) && FWLAUNCH_RESOLVE(PyDict_GetItemString) &&
      FWLAUNCH_RESOLVE(PyCallable_Check) && FWLAUNCH_RESOLVE(PyTuple_New) &&
      FWLAUNCH_RESOLVE(Py_BuildValue) && FWLAUNCH_RESOLVE(PyTuple_SetItem) &&
      FWLAUNCH_RESOLVE(PyGILState_Ensure) && FWLAUNCH_RESOLVE(PyObject_CallObject) &&
      FWLAUNCH_RESOLVE(PyArg_Parse) && FWLAUNCH_RESOLVE(PyGILState_Release) &&
      FWLAUNCH_RESOLVE(Py_Finalize) && FWLAUNCH_RESOLVE(Py_IncRef) &&
      FWLAUNCH_RESOLVE(Py_DecRef) && FWLAUNCH_RESOLVE(PyErr_Occurred) &&
      FWLAUNCH_RESOLVE(PyErr_Clear) && FWLAUNCH_RESOLVE(PyErr_Print) &&
      FWLAUNCH_RESOLVE(PyList_New) && FWLAUNCH_RESOLVE(PyList_Append) &&
      FWLAUNCH_RESOLVE(PySys_SetObject);
#undef FWLAUNCH_RESOLVE
  if (!complete) return std::nullopt;
  return PythonLibrary(std::move(*library), api);
}

}  // namespace fwlaunch
