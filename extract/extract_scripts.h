// Getting the firmware's interpreter modules into the working folder through the script
// library.
#pragma once

#include <string>

#include "extract/script_library.h"
#include "extract/transfer_buffer.h"
#include "module_list/module_list.h"

namespace fwlaunch {

// Loads the library, writes every listed .pyd and .pyo file into working_folder (which ends
// in a separator), unloads the library, and reports whether "Launch.pyo" is now there as a
// regular file or a folder (for the import to judge), written by this call or left by an
// earlier run; a FIFO or device of that name is not. False at once, with nothing loaded or
// written, when the library or its folder could have been put there or changed by another user
// (platform/trusted_file.h), and when it cannot be loaded or lacks an operation. Throws
// std::bad_alloc when the transfer buffer cannot be had.
// The narrator, if any, hears each step: the library, the list, each entry's fate, and
// whether Launch.pyo was written by this run.
bool ExtractScripts(const std::string& library_path, const std::string& working_folder,
                    const std::string& firmware_path, Narrator* narrator = nullptr);

// What ExtractModules did about Launch.pyo, which the diagnostic twin explains to a user.
struct ModulesWritten {
  bool launch = false;         // written by this run
  bool launch_listed = false;  // named by the module list
};

// The conversation with an already loaded library, in the order a library expects: the list,
// the firmware, then each listed module. The transfer buffer is allocated here but owned by
// the caller, because the library may hold on to it until it is unloaded.
ModulesWritten ExtractModules(ScriptLibrary& library, TransferBuffer& transfer,
                              const std::string& working_folder, const std::string& firmware_path,
                              Narrator* narrator = nullptr);

}  // namespace fwlaunch
