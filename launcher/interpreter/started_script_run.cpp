// The interpreter linked to its library (Linux): its standard library beside its library, and
// ".pyd" extension modules through a finder of our own.
#include <Python.h>

#include "launcher/interpreter/started_script_run.h"

#include <optional>
#include <stdexcept>

#include "launcher/interpreter/module_search.h"
#include "launcher/interpreter/py_ref.h"
#include "launcher/interpreter/script_call.h"
#include "platform/dynamic_library.h"

namespace fwlaunch {

namespace {

// The standard library lies beside the interpreter's own library, as a CPython installation
// lays them out (lib/libpython2.7.so, lib/python2.7/) and as an installed fwlaunch carries them
// (lib/fwlaunch/): found from where the loader found the library, no path is built in.
std::string StandardLibraryFolder() {
  std::optional<std::string> folder =
      platform::FolderOfLibraryHolding(reinterpret_cast<const void*>(&Py_Initialize));
  if (!folder) throw std::runtime_error("the interpreter's library cannot be located");
  return *folder + "python2.7";
}

}  // namespace

StartedScriptRun::StartedScriptRun(const std::string& working_folder)
    : working_folder_(working_folder), interpreter_(working_folder) {
  PrepareModuleSearch(working_folder, StandardLibraryFolder());
  interpreter_.AdoptLocaleEncodings();
}

int StartedScriptRun::Call(const std::string& function_name,
                           const std::vector<std::string>& arguments, Narrator* narrator) {
  interpreter_.TakeOverSignals();
  Narrate(narrator, [&] {
    return "interpreter started, home " + working_folder_ + ", sys.path " +
           Repr(PySys_GetObject(const_cast<char*>("path")));
  });
  return CallScriptFunction(function_name, arguments, narrator);
}

}  // namespace fwlaunch
