// The interpreter bound at run time from python27.dll (Windows): its standard library is
// python27.zip and the extension modules in DLLs\ beside the DLL, its program python.exe.
// ".pyd" modules are the interpreter's own kind of extension there and need no finder.
#include <optional>
#include <string>

#include "interpreter/python27_dll/python_library.h"
#include "interpreter/script_protocol.h"
#include "interpreter/script_run.h"
#include "platform/dynamic_library.h"
#include "platform/file_system.h"

namespace fwlaunch::interpreter {

namespace {

constexpr char kPythonLibrary[] = "python27.dll";

}  // namespace

CallOutcome RunScript(const ScriptCall& request, Narrator* narrator) {
  Result<PythonLibrary> python = PythonLibrary::Load(kPythonLibrary);
  if (!python) return CallOutcome::Unavailable("no usable interpreter: " + python.reason());
  InterpreterSetup setup;
  if (std::optional<std::string> folder = platform::FolderOfLibraryHolding(
          reinterpret_cast<const void*>(python->api().Py_Initialize))) {
    setup.library_path = {*folder + "python27.zip", *folder + "DLLs"};
    if (platform::IsRegularFile(*folder + "python.exe")) setup.executable = *folder + "python.exe";
  }
  return RunScriptProtocol(python->api(), request, setup, narrator);
}

}  // namespace fwlaunch::interpreter
