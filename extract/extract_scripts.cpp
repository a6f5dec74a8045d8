#include "extract/extract_scripts.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "extract/output_path.h"
#include "narration/printable.h"
#include "platform/file_system.h"
#include "platform/output_file.h"

namespace fwlaunch {

namespace {

// A count the library cannot have meant: the buffer holds no such number of bytes.
bool IsImpossibleCount(std::int32_t count) { return count < 0 || count > kTransferSize; }

// One module: the file is created before the library is asked, so that a name that cannot be
// written costs the library nothing; a file not written whole is removed, because a module cut
// short would import as garbage. True when written whole.
bool ExtractModule(ScriptLibrary& library, std::uint8_t* context, const char* entry_name,
                   const std::string& output_path, TransferBuffer& transfer, Narrator* narrator) {
  std::optional<platform::OutputFile> file = platform::OutputFile::Create(output_path);
  if (!file) {
    Narrate(narrator, [&] {
      return "skipped " + Printable(entry_name) + ": " + Printable(output_path) +
             " cannot be created as a regular file";
    });
    return false;
  }

  std::copy(kAccessToken.begin(), kAccessToken.end(), transfer.data());
  std::int32_t count = library.ReadFileInFW(context, entry_name, FWL_READ_OFFSET, kTransferSize,
                                            transfer.data(), FWL_READ_MODE);
  if (IsImpossibleCount(count)) {
    Narrate(narrator, [&] {
      return "the library answered " + std::to_string(count) + " bytes for " +
             Printable(entry_name) + ", more than the buffer holds or below 0: taken as 0";
    });
    count = 0;
  }

  bool written = file->WriteAll(transfer.First(static_cast<std::size_t>(count)));
  if (!file->Close() || !written) {
    platform::RemoveFile(output_path);
    Narrate(narrator, [&] {
      return "removed " + Printable(output_path) + ": it could not be written whole";
    });
    return false;
  }
  Narrate(narrator, [&] {
    std::string line = "wrote " + Printable(entry_name) + ": " + std::to_string(count) + " bytes";
    if (count == 0)
      line +=
          " (the library's read gave nothing: no member of that name in the firmware, or one "
          "it could not read)";
    return line;
  });
  return true;
}

// What the firmware path names, for a person: the library alone opens it, and says nothing
// when it cannot.
std::string DescribeFirmware(const std::string& firmware_path) {
  Result<std::uint64_t> size = platform::ReadableFileSize(firmware_path);
  if (!size)
    return "the firmware " + Printable(firmware_path) + " cannot be read: " + size.reason();
  return "the firmware " + Printable(firmware_path) + " is a readable file of " +
         std::to_string(*size) + " bytes";
}

}  // namespace

ModulesWritten ExtractModules(ScriptLibrary& library, TransferBuffer& transfer,
                              const std::string& working_folder, const std::string& firmware_path,
                              Narrator* narrator) {
  ModulesWritten written;
  Narrate(narrator, [&] { return DescribeFirmware(firmware_path); });
  std::array<char, kScriptListSize> list{};
  // The launcher acts on neither answer of these two; the diagnostic twin tells them.
  std::int32_t queried = library.QueryCfg(firmware_path.c_str(), kScriptListKey, list.data());
  Narrate(narrator, [&] {
    std::string_view text(list.data(), strnlen(list.data(), list.size()));
    return "Py_QueryCfg answered " + std::to_string(queried) + "; module list as received (" +
           std::to_string(text.size()) + " characters): " + Printable(text);
  });

  transfer.Allocate();

  std::array<std::uint8_t, kContextSize> context{};
  std::copy(kAccessToken.begin(), kAccessToken.end(), context.begin());
  std::int32_t opened =
      library.OpenFirmware(firmware_path.c_str(), transfer.data(), context.data());
  Narrate(narrator, [&] { return "Py_OpenFirmware answered " + std::to_string(opened); });

  ScriptListWalk walk(list);
  while (std::optional<std::string_view> entry = walk.Next()) {
    if (std::optional<std::string_view> why = WhyNotExtracted(*entry)) {
      Narrate(narrator, [&] { return "skipped " + Printable(*entry) + ": " + std::string(*why); });
      continue;
    }
    std::optional<std::string> output_path = ModuleOutputPath(working_folder, *entry);
    if (!output_path) {
      Narrate(narrator, [&] {
        return "skipped " + Printable(*entry) + ": its path would exceed 1023 characters";
      });
      continue;
    }

    std::array<char, kEntryNameSize> entry_name{};
    std::copy(entry->begin(), entry->end(), entry_name.begin());
    written.launch_listed |= *entry == kLaunchModuleFile;
    if (ExtractModule(library, context.data(), entry_name.data(), *output_path, transfer, narrator))
      written.launch |= *entry == kLaunchModuleFile;
  }
  return written;
}

bool ExtractScripts(const std::string& library_path, const std::string& working_folder,
                    const std::string& firmware_path, Narrator* narrator) {
  // Declared first so that it is released only after the library is unloaded: the library
  // was handed it and may hold on to it until then.
  TransferBuffer transfer;
  std::unique_ptr<ScriptLibrary> library = LoadScriptLibrary(library_path, narrator);
  if (!library) return false;

  ModulesWritten written =
      ExtractModules(*library, transfer, working_folder, firmware_path, narrator);
  library.reset();

  // Something named Launch.pyo is there, and the import judges it; but a FIFO or a device
  // never reaches the interpreter, which would wait for ever on the one and read the other.
  const std::string launch_path = working_folder + kLaunchModuleFile;
  bool folder = platform::IsFolder(launch_path);
  bool present = folder || platform::IsRegularFile(launch_path);
  Narrate(narrator, [&] {
    if (folder) return std::string("Launch.pyo in the working folder is a folder: left alone");
    if (!present && platform::PathExists(launch_path))
      return std::string("Launch.pyo in the working folder is neither a file nor a folder");
    if (!present) return std::string("no Launch.pyo in the working folder after extraction");
    if (written.launch) return std::string("Launch.pyo was written by this run");
    // What a user must not miss: the run goes on with another firmware's script.
    std::string why = "Launch.pyo could not be written";
    if (!platform::ReadableFileSize(firmware_path))
      why = DescribeFirmware(firmware_path);
    else if (!written.launch_listed)
      why = "the module list names no Launch.pyo";
    return "Launch.pyo was NOT written by this run: " + why +
           ": the Launch.pyo of an earlier run was used";
  });
  return present;
}

}  // namespace fwlaunch
