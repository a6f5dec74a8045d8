// fwpack extract IMAGE [NAME...] [-C DIR]
#include <filesystem>
#include <set>

#include "platform/file_system.h"
#include "platform/output_file.h"
#include "platform/path_rules.h"
#include "tools/fwpack/commands.h"
#include "tools/fwpack/image_file.h"

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

}  // namespace

int RunExtract(const Arguments& arguments) {
  std::string image_path;
  std::filesystem::path folder = ".";
  std::vector<std::string> names;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "-C") {
      if (i + 1 == arguments.size()) return UsageError("-C takes a folder");
      folder = arguments[++i];
    } else if (image_path.empty()) {
      image_path = arguments[i];
    } else {
      names.push_back(arguments[i]);
    }
  }
  if (image_path.empty()) return UsageError("extract needs an IMAGE");
  std::optional<OpenedImage> opened = OpenImageFile(image_path);
  if (!opened) return kExitFailure;
  const image::ImageReader& reader = opened->reader;

  bool all_ok = true;
  if (names.empty()) {
    for (std::size_t i = 0; i < reader.entry_count(); ++i)
      all_ok &= ExtractEntry(reader, reader.EntryAt(i), image_path, folder);
    return all_ok ? kExitOk : kExitFailure;
  }
  std::set<std::string> done;
  for (const std::string& name : names) {
    if (!done.insert(name).second) continue;
    std::optional<image::EntryInfo> entry = reader.Find(name);
    if (!entry) {
      Complain(image_path, "no entry named " + name);
      all_ok = false;
      continue;
    }
    all_ok &= ExtractEntry(reader, *entry, image_path, folder);
  }
  return all_ok ? kExitOk : kExitFailure;
}

}  // namespace fwlaunch::fwpack
