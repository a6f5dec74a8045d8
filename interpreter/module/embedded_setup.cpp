#include <Python.h>

#include "interpreter/module/embedded_setup.h"

#include <memory>
#include <optional>
#include <vector>

#include "interpreter/module/lazy_codecs.h"
#include "interpreter/module/locale_encodings.h"
#include "interpreter/module/pyd_finder.h"
#include "platform/dynamic_library.h"
#include "platform/file_system.h"

namespace fwlaunch::interpreter {

namespace {

// The folders the interpreter searches by itself when it runs from its own installation.
constexpr const char* kStdlibSubfolders[] = {"", "/plat-linux2", "/lib-tk", "/lib-old",
                                             "/lib-dynload"};

// The standard library lies beside the interpreter's own library, as a CPython installation
// lays them out (lib/libpython2.7.so, lib/python2.7/) and as an installed fwlaunch carries them
// (lib/fwlaunch/): found from where the loader found the library, no path is built in.
std::optional<std::string> InterpreterLibraryFolder() {
  return platform::FolderOfLibraryHolding(reinterpret_cast<const void*>(&Py_Initialize));
}

// The interpreter's program, for a script that starts Python: as a CPython installation lays
// it out (lib/../bin/python2.7), or in the private prefix an installed fwlaunch carries
// (lib/fwlaunch/python/bin/python2.7). Empty when neither is there, as an interpreter that
// cannot find its program has it; never a python found on PATH, which may be any other.
std::string InterpreterProgram(const std::string& library_folder) {
  std::string parent = library_folder.substr(0, library_folder.find_last_of('/'));
  parent = parent.substr(0, parent.find_last_of('/') + 1);
  for (const std::string& path :
       {parent + "bin/python2.7", library_folder + "python/bin/python2.7"}) {
    if (platform::IsRegularFile(path)) return path;
  }
  return {};
}

}  // namespace

Result<InterpreterSetup> EmbeddedSetup(const std::string& working_folder) {
  std::optional<std::string> library_folder = InterpreterLibraryFolder();
  if (!library_folder) return Fail("the interpreter's library cannot be located");
  InterpreterSetup setup;
  for (const char* subfolder : kStdlibSubfolders)
    setup.library_path.push_back(*library_folder + "python2.7" + subfolder);
  setup.executable = InterpreterProgram(*library_folder);

  auto encodings = std::make_shared<LocaleEncodings>();
  setup.after_path = [working_folder, library_path = setup.library_path, encodings]() -> Status {
    Status installed = InstallPydFinder(working_folder);
    // Put before the .pyd finder, so that no "codecs.pyd" in the working folder is asked.
    if (installed) installed = InstallLazyCodecs(library_path);
    if (installed) encodings->Adopt();
    return installed;
  };
  setup.after_finalize = [encodings] { encodings->Release(); };
  return setup;
}

}  // namespace fwlaunch::interpreter
