#include "extract/extract_scripts.h"

#include <algorithm>
#include <array>
#include <optional>

#include "extract/script_list.h"
#include "platform/file_system.h"
#include "platform/output_file.h"

namespace fwlaunch {

namespace {

// A count the library cannot have meant: the buffer holds no such number of bytes.
bool IsImpossibleCount(std::int32_t count) { return count < 0 || count > kTransferSize; }

// Creates the module file, asks the library for its bytes and writes them. A file that
// cannot be created is skipped without asking the library; one that cannot be written
// whole is removed rather than left cut short.
void ExtractModule(ScriptLibrary& library, std::uint8_t* context, const char* entry_name,
                   const std::string& output_path, TransferBuffer& transfer) {
  std::optional<platform::OutputFile> file = platform::OutputFile::Create(output_path);
  if (!file) return;

  std::copy(kAccessToken.begin(), kAccessToken.end(), transfer.data());
  std::int32_t count =
      library.ReadFileInFW(context, entry_name, 0, kTransferSize, transfer.data(), 1);
  if (IsImpossibleCount(count)) count = 0;

  bool written = file->WriteAll(transfer.First(static_cast<std::size_t>(count)));
  if (!file->Close() || !written) platform::RemoveFile(output_path);
}

}  // namespace

void ExtractModules(ScriptLibrary& library, TransferBuffer& transfer,
                    const std::string& working_folder, const std::string& firmware_path) {
  std::array<char, kScriptListSize> list{};
  library.QueryCfg(firmware_path.c_str(), kScriptListKey, list.data());

  transfer.Allocate();

  std::array<std::uint8_t, kContextSize> context{};
  std::copy(kAccessToken.begin(), kAccessToken.end(), context.begin());
  library.OpenFirmware(firmware_path.c_str(), transfer.data(), context.data());

  ScriptListWalk walk(list);
  while (std::optional<std::string_view> entry = walk.Next()) {
    if (!IsExtractableEntry(*entry)) continue;
    std::optional<std::string> output_path = ModuleOutputPath(working_folder, *entry);
    if (!output_path) continue;

    std::array<char, kEntryNameSize> entry_name{};
    std::copy(entry->begin(), entry->end(), entry_name.begin());
    ExtractModule(library, context.data(), entry_name.data(), *output_path, transfer);
  }
}

bool ExtractScripts(const std::string& library_path, const std::string& working_folder,
                    const std::string& firmware_path) {
  // Declared first so that it is released only after the library is unloaded: the library
  // was handed it and may hold on to it until then.
  TransferBuffer transfer;
  std::unique_ptr<ScriptLibrary> library = LoadScriptLibrary(library_path);
  if (!library) return false;

  ExtractModules(*library, transfer, working_folder, firmware_path);
  library.reset();

  return platform::PathExists(working_folder + kLaunchModuleFile);
}

}  // namespace fwlaunch
