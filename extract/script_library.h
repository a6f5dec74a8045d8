// What the extraction asks of the vendor script library, and the fixed sizes of the buffers
// it hands over. The library itself lives outside this program.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "module_list/module_list.h"
#include "narration/narrator.h"

namespace fwlaunch {

// Export names of the three operations, in the order they are looked up.
inline constexpr char kOpenFirmwareExport[] = "Py_OpenFirmware";
inline constexpr char kReadFileExport[] = "Py_ReadFileInFW";
inline constexpr char kQueryCfgExport[] = "Py_QueryCfg";

// The library's three operations, as the extraction calls them.
class ScriptLibrary {
 public:
  virtual ~ScriptLibrary() = default;

  // Fills list (kScriptListSize bytes) with the key's NUL-terminated value.
  virtual std::int32_t QueryCfg(const char* firmware_path, const char* key, char* list) = 0;
  // transfer: kTransferSize bytes; context: kContextSize bytes, starting with the token.
  virtual std::int32_t OpenFirmware(const char* firmware_path, std::uint8_t* transfer,
                                    std::uint8_t* context) = 0;
  // Returns how many bytes of the named file now stand at the start of transfer.
  virtual std::int32_t ReadFileInFW(std::uint8_t* context, const char* name, std::int32_t offset,
                                    std::int32_t capacity, std::uint8_t* transfer,
                                    std::int32_t mode) = 0;
};

// Loads the library at path and binds the three exports; nothing when it cannot be
// loaded or lacks one of them (it is then unloaded again at once).
// The narrator, if any, hears the loader's own words or which export is missing.
std::unique_ptr<ScriptLibrary> LoadScriptLibrary(const std::string& path,
                                                 Narrator* narrator = nullptr);

}  // namespace fwlaunch
