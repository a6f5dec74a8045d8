// fwpack list IMAGE and fwpack verify IMAGE.
#include <cinttypes>
#include <cstdio>
#include <functional>

#include "tools/fwpack/commands.h"
#include "tools/fwpack/image_file.h"

namespace fwlaunch::fwpack {

namespace {

// Opens the one IMAGE the command takes and runs body on it; the exit status.
int WithSingleImage(const Arguments& arguments, const char* command,
                    const std::function<int(const std::string&, const image::ImageReader&)>& body) {
  if (arguments.size() != 1) return UsageError(std::string(command) + " takes exactly one IMAGE");
  std::optional<OpenedImage> opened = OpenImageFile(arguments[0]);
  if (!opened) return kExitFailure;
  return body(arguments[0], opened->reader);
}

int List(const std::string&, const image::ImageReader& reader) {
  reader.ForEachConfig([](std::string_view key, std::string_view value) {
    std::size_t lines = 0;
    for (char c : value) lines += c == '\n';
    std::printf("config %.*s: %zu bytes, %zu lines\n", static_cast<int>(key.size()), key.data(),
                value.size(), lines);
  });
  std::printf("%10s %10s %-7s %-8s %s\n", "size", "stored", "method", "crc32", "name");
  for (std::size_t i = 0; i < reader.entry_count(); ++i) {
    image::EntryInfo entry = reader.EntryAt(i);
    std::printf("%10" PRIu32 " %10" PRIu32 " %-7s %08" PRIx32 " %.*s\n", entry.original_size,
                entry.stored_size, entry.method == image::Method::kDeflate ? "deflate" : "stored",
                entry.crc, static_cast<int>(entry.name.size()), entry.name.data());
  }
  return kExitOk;
}

int Verify(const std::string& path, const image::ImageReader& reader) {
  for (std::size_t i = 0; i < reader.entry_count(); ++i) {
    image::EntryInfo entry = reader.EntryAt(i);
    Status streamed = reader.Stream(entry, [](std::span<const std::uint8_t>) { return true; });
    if (!streamed) {
      Complain(path, "entry " + std::string(entry.name) + ": " + streamed.reason());
      return kExitFailure;
    }
  }
  std::printf("%s: %zu entries OK\n", path.c_str(), reader.entry_count());
  return kExitOk;
}

}  // namespace

int RunList(const Arguments& arguments) { return WithSingleImage(arguments, "list", List); }

int RunVerify(const Arguments& arguments) { return WithSingleImage(arguments, "verify", Verify); }

}  // namespace fwlaunch::fwpack
