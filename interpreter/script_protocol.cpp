#include "interpreter/script_protocol.h"

#include <cstdio>
#include <vector>

#include "interpreter/object_ref.h"

namespace fwlaunch::interpreter {

namespace {

constexpr char kLaunchModule[] = "Launch";

// repr(object), for a person; "?" when it has none (and no error is left pending).
std::string Repr(const PythonApi& api, PyObjectPointer object) {
  ObjectRef text(api, object != nullptr ? api.PyObject_Repr(object) : nullptr);
  const char* chars = text ? api.PyString_AsString(text.get()) : nullptr;
  if (chars == nullptr) {
    api.PyErr_Clear();
    return "?";
  }
  return chars;
}

// Prints the exception as the traceback module does, which reads each frame's source line
// through its module's loader: on Windows the standard library's sources are inside
// python27.zip, where the interpreter's own printout, which opens files by name, finds none.
// False, with nothing pending, when that module cannot.
bool PrintWithTracebackModule(const PythonApi& api, PyObjectPointer type, PyObjectPointer value,
                              PyObjectPointer traceback) {
  if (traceback == nullptr) return false;
  ObjectRef name(api, api.PyString_FromString("traceback"));
  ObjectRef module(api, name ? api.PyImport_Import(name.get()) : nullptr);
  PyObjectPointer print =  // borrowed
      module ? api.PyDict_GetItemString(api.PyModule_GetDict(module.get()), "print_exception")
             : nullptr;
  ObjectRef arguments(
      api, print != nullptr ? api.Py_BuildValue("(OOO)", type, value, traceback) : nullptr);
  ObjectRef printed(api, arguments ? api.PyObject_CallObject(print, arguments.get()) : nullptr);
  if (!printed) api.PyErr_Clear();
  return static_cast<bool>(printed);
}

// Drops the pending error; with a narrator, first shows its traceback on standard error and
// says what failed. (Never PyErr_Print: that would end the process on SystemExit.)
void DropError(const PythonApi& api, Narrator* narrator, const std::string& what) {
  if (narrator == nullptr) {
    api.PyErr_Clear();
    return;
  }
  PyObjectPointer type = nullptr, value = nullptr, traceback = nullptr;
  api.PyErr_Fetch(&type, &value, &traceback);
  if (type != nullptr) {
    api.PyErr_NormalizeException(&type, &value, &traceback);
    if (!PrintWithTracebackModule(api, type, value, traceback))
      api.PyErr_Display(type, value, traceback);
    std::fflush(stderr);
  }
  bool shown = type != nullptr;
  api.Py_DecRef(type);
  api.Py_DecRef(value);
  api.Py_DecRef(traceback);
  api.PyErr_Clear();
  narrator->Say(what + (shown ? " (the interpreter's words above)" : ""));
}

// The interpreter from start-up to shutdown. It keeps a pointer to the home text until then.
class Session {
 public:
  Session(const PythonApi& api, const std::string& home, const InterpreterSetup& setup)
      : api_(api), setup_(setup), home_(home.c_str(), home.c_str() + home.size() + 1) {
    api_.Py_SetPythonHome(home_.data());
    *api_.Py_OptimizeFlag = 2;
    *api_.Py_NoSiteFlag = 1;
    api_.Py_Initialize();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session() {
    api_.Py_Finalize();
    if (setup_.after_finalize) setup_.after_finalize();
  }

 private:
  const PythonApi& api_;
  const InterpreterSetup& setup_;
  std::vector<char> home_;
};

// Sets sys.NAME to a list of the texts; fails when the interpreter refuses.
Status SetSysList(const PythonApi& api, const char* name, const std::vector<std::string>& texts) {
  Failure refused = Fail(std::string("sys.") + name + " refused");
  ObjectRef list(api, api.PyList_New(0));
  if (!list) return refused;
  for (const std::string& text : texts) {
    ObjectRef entry(api, api.PyString_FromString(text.c_str()));
    if (!entry || api.PyList_Append(list.get(), entry.get()) != 0) return refused;
  }
  std::string writable_name = name;
  if (api.PySys_SetObject(writable_name.data(), list.get()) != 0) return refused;
  return Done{};
}

// sys.executable: the interpreter's program; left as the interpreter found it when there is
// none (empty on Linux, this program on Windows).
Status SetExecutable(const PythonApi& api, const std::string& executable) {
  if (executable.empty()) return Done{};
  ObjectRef text(api, api.PyString_FromString(executable.c_str()));
  char name[] = "executable";
  if (!text || api.PySys_SetObject(name, text.get()) != 0) return Fail("sys.executable refused");
  return Done{};
}

// sys.path: the working folder, then the standard library's places. sys.argv: [''], as an
// interpreter started without a script has it, which argparse, optparse and doctest read.
Status SetSysLists(const PythonApi& api, const std::string& working_folder,
                   const InterpreterSetup& setup) {
  std::vector<std::string> folders{working_folder};
  folders.insert(folders.end(), setup.library_path.begin(), setup.library_path.end());
  Status set = SetSysList(api, "path", folders);
  if (set) set = SetSysList(api, "argv", {""});
  if (set) set = SetExecutable(api, setup.executable);
  return set;
}

// How the interpreter's part ended when it got as far as Launch.
CallOutcome Ended(CallEnd end, int exit_status = -1) { return CallOutcome{end, exit_status, {}}; }

// Launch's function of that name, found at the module's top level by exact name (borrowed);
// null, with the reason told, when there is none to call. Something other than a module may
// stand in sys.modules under that name, and it has no dictionary to look in.
PyObjectPointer FindFunction(const PythonApi& api, PyObjectPointer module,
                             const std::string& function_name, Narrator* narrator) {
  PyObjectPointer dictionary = api.PyModule_GetDict(module);
  PyObjectPointer function =
      dictionary != nullptr ? api.PyDict_GetItemString(dictionary, function_name.c_str()) : nullptr;
  if (function != nullptr && api.PyCallable_Check(function)) return function;
  api.PyErr_Clear();
  Narrate(narrator, [&] {
    if (dictionary == nullptr) return std::string("Launch is no module: it has no functions");
    if (function == nullptr) return "Launch has no top-level name " + function_name;
    return "Launch." + function_name + " is not callable: " + Repr(api, function);
  });
  return nullptr;
}

// The arguments as a tuple of strings; null when the interpreter cannot make one.
ObjectRef ArgumentTuple(const PythonApi& api, const std::vector<std::string>& texts) {
  ObjectRef arguments(api, api.PyTuple_New(static_cast<PySize>(texts.size())));
  for (std::size_t index = 0; arguments && index < texts.size(); ++index) {
    PyObjectPointer item = api.Py_BuildValue("s", texts[index].c_str());
    if (item == nullptr) return ObjectRef(api, nullptr);
    api.PyTuple_SetItem(arguments.get(), static_cast<PySize>(index), item);  // steals item
  }
  return arguments;
}

// Calls the function; its integer, or -1 when it raised or returned anything else (a result
// that is no 32-bit integer fails to convert). No trace is shown but the twin's.
int CallForStatus(const PythonApi& api, PyObjectPointer function, PyObjectPointer arguments,
                  const std::string& function_name, Narrator* narrator) {
  int exit_status = -1;
  int gil = api.PyGILState_Ensure();
  {
    ObjectRef result(api, api.PyObject_CallObject(function, arguments));
    if (!result) {
      DropError(api, narrator, "Launch." + function_name + " raised: exit status -1");
    } else if (!api.PyArg_Parse(result.get(), "i", &exit_status)) {
      exit_status = -1;
      DropError(api, narrator,
                "Launch." + function_name + " returned " + Repr(api, result.get()) +
                    ", which is no 32-bit integer: exit status -1");
    } else {
      Narrate(narrator, [&] {
        return "Launch." + function_name + " returned " + std::to_string(exit_status);
      });
    }
  }
  api.PyGILState_Release(gil);
  return exit_status;
}

// Imports Launch, finds the function and calls it; the session is running.
CallOutcome CallFunction(const PythonApi& api, const ScriptCall& request, Narrator* narrator) {
  const std::string& function_name = request.function_name;
  ObjectRef name(api, api.PyString_FromString(kLaunchModule));
  if (!name) return CallOutcome::Unavailable("the module name cannot be made");
  ObjectRef module(api, api.PyImport_Import(name.get()));
  if (!module) {
    DropError(api, narrator, "Launch could not be imported");
    return Ended(CallEnd::kLaunchNotImported);
  }
  Narrate(narrator, [&] { return "imported Launch: " + Repr(api, module.get()); });

  PyObjectPointer function = FindFunction(api, module.get(), function_name, narrator);
  if (function == nullptr) return Ended(CallEnd::kFunctionMissing);
  Narrate(narrator, [&] { return "found Launch." + function_name + ": " + Repr(api, function); });

  ObjectRef arguments = ArgumentTuple(api, request.arguments);
  if (!arguments) return CallOutcome::Unavailable("no argument tuple");
  Narrate(narrator, [&] {
    return "calling Launch." + function_name + " with " + Repr(api, arguments.get());
  });
  return Ended(CallEnd::kReturned,
               CallForStatus(api, function, arguments.get(), function_name, narrator));
}

}  // namespace

CallOutcome RunScriptProtocol(const PythonApi& api, const ScriptCall& request,
                              const InterpreterSetup& setup, Narrator* narrator) {
  Session session(api, request.working_folder, setup);
  Status ready = SetSysLists(api, request.working_folder, setup);
  if (ready && setup.after_path) ready = setup.after_path();
  if (!ready) {
    api.PyErr_Clear();
    return CallOutcome::Unavailable(ready.reason());
  }
  Narrate(narrator, [&] {
    char name[] = "path";
    return "interpreter started, home " + request.working_folder + ", sys.path " +
           Repr(api, api.PySys_GetObject(name));
  });
  return CallFunction(api, request, narrator);
}

}  // namespace fwlaunch::interpreter
