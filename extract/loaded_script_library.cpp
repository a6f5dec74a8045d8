// The binding of the script library's C exports, found by name in the loaded library.
#include <utility>

#include "extract/script_library.h"
#include "platform/dynamic_library.h"
#include "platform/library_call.h"
#include "platform/trusted_file.h"

namespace fwlaunch {

namespace {

using QueryCfgFunction = FwlQueryCfgFunction;
using OpenFirmwareFunction = FwlOpenFirmwareFunction;
using ReadFileFunction = FwlReadFileInFWFunction;

class LoadedScriptLibrary final : public ScriptLibrary {
 public:
  LoadedScriptLibrary(platform::DynamicLibrary library, OpenFirmwareFunction open_firmware,
                      ReadFileFunction read_file, QueryCfgFunction query_cfg)
      : library_(std::move(library)),
        open_firmware_(open_firmware),
        read_file_(read_file),
        query_cfg_(query_cfg) {}

  std::int32_t QueryCfg(const char* firmware_path, const char* key, char* list) override {
    return platform::CallExport(query_cfg_, firmware_path, key, list);
  }
  std::int32_t OpenFirmware(const char* firmware_path, std::uint8_t* transfer,
                            std::uint8_t* context) override {
    return platform::CallExport(open_firmware_, firmware_path, transfer, context);
  }
  std::int32_t ReadFileInFW(std::uint8_t* context, const char* name, std::int32_t offset,
                            std::int32_t capacity, std::uint8_t* transfer,
                            std::int32_t mode) override {
    return platform::CallExport(read_file_, context, name, offset, capacity, transfer, mode);
  }

 private:
  platform::DynamicLibrary library_;
  OpenFirmwareFunction open_firmware_;
  ReadFileFunction read_file_;
  QueryCfgFunction query_cfg_;
};

// The loader's words name the file as it was loaded; the user knows it by its path.
std::string NamedAsGiven(std::string words, const std::string& loaded, const std::string& path) {
  for (std::size_t at = words.find(loaded); at != std::string::npos;
       at = words.find(loaded, at + path.size()))
    words.replace(at, loaded.size(), path);
  return words;
}

// The export by name; null, said to the narrator, when the library has none of that name.
template <typename Function>
Function Export(const platform::DynamicLibrary& library, const char* name, Narrator* narrator) {
  auto function = reinterpret_cast<Function>(library.Symbol(name));
  if (function == nullptr)
    Narrate(narrator, [&] { return std::string("the script library lacks the export ") + name; });
  return function;
}

}  // namespace

std::unique_ptr<ScriptLibrary> LoadScriptLibrary(const std::string& path, Narrator* narrator) {
  // Code that another local user could have put there is never run.
  Result<platform::TrustedFile> file = platform::TrustedFile::Open(path);
  if (!file) {
    Narrate(narrator, [&] { return "the script library is not loaded: " + file.reason(); });
    return nullptr;
  }
  Result<platform::DynamicLibrary> library = platform::DynamicLibrary::Open(file->load_path());
  if (!library) {
    Narrate(narrator, [&] {
      return "the script library does not load: " +
             NamedAsGiven(library.reason(), file->load_path(), path);
    });
    return nullptr;
  }
  auto open_firmware = Export<OpenFirmwareFunction>(*library, kOpenFirmwareExport, narrator);
  auto read_file = Export<ReadFileFunction>(*library, kReadFileExport, narrator);
  auto query_cfg = Export<QueryCfgFunction>(*library, kQueryCfgExport, narrator);
  if (open_firmware == nullptr || read_file == nullptr || query_cfg == nullptr) return nullptr;
  Narrate(narrator, [&] { return "loaded the script library " + path; });
  return std::make_unique<LoadedScriptLibrary>(std::move(*library), open_firmware, read_file,
                                               query_cfg);
}

}  // namespace fwlaunch
