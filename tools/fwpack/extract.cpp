// fwpack extract [-C DIR | -O] [--] IMAGE [NAME...]
#include <cstdio>
#include <filesystem>
#include <set>

#include "platform/file_system.h"
#include "platform/output_file.h"
#include "platform/path_rules.h"
#include "tools/fwpack/commands.h"
#include "tools/fwpack/image_file.h"
#include "tools/fwpack/options.h"

namespace fwlaunch::fwpack {

namespace {

// Writes one entry; a file whose data proves bad (CRC, corruption) is removed again.
bool ExtractEntry(const image::ImageReader& reader, const image::EntryInfo& entry,
                  const std::string& image_path, const std::filesystem::path& folder) {
  std::string name(entry.name);
  // Names are written below the target folder only.
  if (name.empty() || !platform::StaysInsideFolder(name)) {
    Complain(image_path, "entry " + name + " would be written outside the folder; skipped");
    return false;
  }
  // As archivers do by default: a link already standing below the folder could lead the
  // member anywhere, so nothing is written through one.
  if (std::optional<std::string> link = platform::FirstLinkBelow(folder.string(), name)) {
    Complain(*link, "is a link; entry " + name + " is not extracted through it");
    return false;
  }
  std::filesystem::path target = folder / name;
  std::error_code error;
  std::filesystem::create_directories(target.parent_path(), error);
  std::optional<platform::OutputFile> file = platform::OutputFile::Create(target.string());
  if (!file) {
    Complain(target.string(), "cannot be created");
    return false;
  }
  bool output_failed = false;
  Status streamed = reader.Stream(entry, [&](std::span<const std::uint8_t> piece) {
    output_failed = !file->WriteAll(piece);
    return !output_failed;
  });
  bool closed = file->Close();
  if (streamed && closed) return true;
  platform::RemoveFile(target.string());
  if (!streamed && !output_failed)
    Complain(image_path, "entry " + name + ": " + streamed.reason());
  else
    Complain(target.string(), "cannot be written");
  return false;
}

// Writes one entry to standard output.
bool WriteEntryOut(const image::ImageReader& reader, const image::EntryInfo& entry,
                   const std::string& image_path) {
  bool output_failed = false;
  Status streamed = reader.Stream(entry, [&](std::span<const std::uint8_t> piece) {
    output_failed = std::fwrite(piece.data(), 1, piece.size(), stdout) != piece.size();
    return !output_failed;
  });
  if (streamed) return true;
  if (output_failed)
    Complain(kStandardStream, "cannot be written");
  else
    Complain(image_path, "entry " + std::string(entry.name) + ": " + streamed.reason());
  return false;
}

}  // namespace

int RunExtract(const Arguments& arguments) {
  static constexpr OptionKind kOptions[] = {{nullptr, 'C', true}, {nullptr, 'O', false}};
  Result<ParsedArguments> parsed = ParseOptions(arguments, kOptions);
  if (!parsed) return UsageError(parsed.reason());
  std::filesystem::path folder = ".";
  bool to_output = false, folder_given = false;
  for (const auto& [which, value] : parsed->options) {
    if (which == 0) {
      folder = value;
      folder_given = true;
    } else {
      to_output = true;
    }
  }
  std::string image_path = parsed->operands.empty() ? std::string() : parsed->operands.front();
  std::vector<std::string> names;
  if (!parsed->operands.empty()) names.assign(parsed->operands.begin() + 1, parsed->operands.end());
  if (image_path.empty()) return UsageError("extract needs an IMAGE");
  if (to_output && folder_given) return UsageError("-C and -O do not go together");
  std::optional<OpenedImage> opened = OpenImageFile(image_path);
  if (!opened) return kExitFailure;
  const image::ImageReader& reader = opened->reader;
  auto extract = [&](const image::EntryInfo& entry) {
    return to_output ? WriteEntryOut(reader, entry, image_path)
                     : ExtractEntry(reader, entry, image_path, folder);
  };

  bool all_ok = true;
  if (names.empty()) {
    for (std::size_t i = 0; i < reader.entry_count(); ++i) all_ok &= extract(reader.EntryAt(i));
  } else {
    std::set<std::string> done;
    for (const std::string& name : names) {
      if (!done.insert(name).second) continue;
      std::optional<image::EntryInfo> entry = reader.Find(name);
      if (!entry) {
        Complain(image_path, "no entry named " + name);
        all_ok = false;
        continue;
      }
      all_ok &= extract(*entry);
    }
  }
  if (to_output && std::fflush(stdout) != 0) {
    Complain(kStandardStream, "cannot be written");
    all_ok = false;
  }
  return all_ok ? kExitOk : kExitFailure;
}

}  // namespace fwlaunch::fwpack
