// The interpreter linked into the program (Linux): its standard library beside its library,
// and ".pyd" extension modules through a finder of our own.
#include <Python.h>

#include "launcher/interpreter/embedded_interpreter.h"
#include "launcher/interpreter/module_search.h"
#include "launcher/interpreter/py_ref.h"
#include "launcher/interpreter/script_call.h"
#include "launcher/interpreter/script_run.h"
#include "platform/dynamic_library.h"

#include <optional>
#include <stdexcept>

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

int RunScript(const std::string& working_folder, const std::string& function_name,
              const std::vector<std::string>& arguments, Narrator* narrator) {
  EmbeddedInterpreter interpreter(working_folder);
  PrepareModuleSearch(working_folder, StandardLibraryFolder());
  interpreter.AdoptLocaleEncodings();
  Narrate(narrator, [&] {
    return "interpreter started, home " + working_folder + ", sys.path " +
           Repr(PySys_GetObject(const_cast<char*>("path")));
  });
  return CallScriptFunction(function_name, arguments, narrator);
}

}  // namespace fwlaunch
