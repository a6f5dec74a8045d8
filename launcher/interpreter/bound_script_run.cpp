// The interpreter bound at run time from python27.dll (Windows). A real 2.7 interpreter there
// does not search its home folder by itself, so the run sets sys.path itself; ".pyd" modules
// are the interpreter's own kind of extension and need no finder.
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "launcher/interpreter/python_binding.h"
#include "launcher/interpreter/script_run.h"
#include "launcher/launch_failure.h"
#include "platform/dynamic_library.h"

namespace fwlaunch {

namespace {

constexpr char kPythonLibrary[] = "python27.dll";
constexpr char kLaunchModule[] = "Launch";

// An owned reference, released through the interpreter when its owner goes.
class BoundRef {
 public:
  BoundRef(const PythonExports& api, PyObjectPointer object) : api_(api), object_(object) {}
  BoundRef(const BoundRef&) = delete;
  BoundRef& operator=(const BoundRef&) = delete;
  ~BoundRef() {
    if (object_ != nullptr) api_.Py_DecRef(object_);
  }
  PyObjectPointer get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  const PythonExports& api_;
  PyObjectPointer object_;
};

// The interpreter from start-up to shutdown; it keeps the home text until then.
class BoundInterpreter {
 public:
  BoundInterpreter(const PythonExports& api, const std::string& home)
      : api_(api), home_(home.c_str(), home.c_str() + home.size() + 1) {
    api_.Py_SetPythonHome(home_.data());
    *api_.Py_OptimizeFlag = 2;
    *api_.Py_NoSiteFlag = 1;
    api_.Py_Initialize();
  }
  BoundInterpreter(const BoundInterpreter&) = delete;
  BoundInterpreter& operator=(const BoundInterpreter&) = delete;
  ~BoundInterpreter() { api_.Py_Finalize(); }

 private:
  const PythonExports& api_;
  std::vector<char> home_;
};

// sys.path: the working folder, then the standard library that lies beside the interpreter's
// library (python27.zip and the extension modules in DLLs\), as on Linux. Where it cannot be
// set, the import below finds Launch by the interpreter's own search, or reports that it
// cannot.
void SetSearchPath(const PythonExports& api, const std::string& working_folder) {
  std::optional<std::string> library_folder =
      platform::FolderOfLibraryHolding(reinterpret_cast<const void*>(api.Py_Initialize));
  std::vector<std::string> folders{working_folder};
  if (library_folder) {
    folders.push_back(*library_folder + "python27.zip");
    folders.push_back(*library_folder + "DLLs");
  }
  BoundRef path(api, api.PyList_New(0));
  if (!path) return api.PyErr_Clear();
  for (const std::string& folder : folders) {
    BoundRef entry(api, api.PyString_FromString(folder.c_str()));
    if (!entry || api.PyList_Append(path.get(), entry.get()) != 0) return api.PyErr_Clear();
  }
  char path_name[] = "path";
  if (api.PySys_SetObject(path_name, path.get()) != 0) api.PyErr_Clear();
}

int CallFunction(const PythonExports& api, const std::string& function_name,
                 const std::vector<std::string>& arguments) {
  BoundRef name(api, api.PyString_FromString(kLaunchModule));
  if (!name) throw std::runtime_error("module name");
  BoundRef module(api, api.PyImport_Import(name.get()));
  if (!module) {
    api.PyErr_Clear();
    throw LaunchFailure(kLaunchNotLoaded);
  }
  // Borrowed references; a stand-in for the module without a dictionary has no function.
  PyObjectPointer dictionary = api.PyModule_GetDict(module.get());
  PyObjectPointer function =
      dictionary != nullptr ? api.PyDict_GetItemString(dictionary, function_name.c_str()) : nullptr;
  if (function == nullptr || !api.PyCallable_Check(function)) {
    api.PyErr_Clear();
    throw LaunchFailure(kFunctionMissing);
  }

  BoundRef tuple(api, api.PyTuple_New(static_cast<PySize>(arguments.size())));
  if (!tuple) throw std::runtime_error("argument tuple");
  for (std::size_t index = 0; index < arguments.size(); ++index) {
    PyObjectPointer item = api.Py_BuildValue("s", arguments[index].c_str());
    if (item == nullptr) throw std::runtime_error("argument string");
    api.PyTuple_SetItem(tuple.get(), static_cast<PySize>(index), item);  // steals item
  }

  int exit_status = -1;
  int gil = api.PyGILState_Ensure();
  {
    BoundRef result(api, api.PyObject_CallObject(function, tuple.get()));
    // A function that raised produced nothing to convert; a result that is no 32-bit integer
    // fails to convert. Either way the status stays -1 and no trace is shown.
    if (!result || !api.PyArg_Parse(result.get(), "i", &exit_status)) api.PyErr_Clear();
  }
  api.PyGILState_Release(gil);
  return exit_status;
}

}  // namespace

int RunScript(const std::string& working_folder, const std::string& function_name,
              const std::vector<std::string>& arguments, Narrator* narrator) {
  std::string missing;
  std::optional<PythonLibrary> python = PythonLibrary::Load(kPythonLibrary, &missing);
  if (!python) {
    Narrate(narrator, [&] { return "no usable interpreter: " + missing; });
    throw std::runtime_error("no usable interpreter: " + missing);
  }
  Narrate(narrator, [&] { return std::string("bound ") + kPythonLibrary; });
  BoundInterpreter interpreter(python->api(), working_folder);
  SetSearchPath(python->api(), working_folder);
  return CallFunction(python->api(), function_name, arguments);
}

}  // namespace fwlaunch
