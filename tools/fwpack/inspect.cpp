// fwpack list [--tsv] [--] IMAGE and fwpack verify [--] IMAGE.
#include <cinttypes>
#include <cstdio>
#include <functional>

#include "module_list/module_list.h"
#include "tools/fwpack/commands.h"
#include "tools/fwpack/image_file.h"
#include "tools/fwpack/options.h"

namespace fwlaunch::fwpack {

namespace {

struct InspectOptions {
  std::string image;
  bool tsv = false;
};

// The one IMAGE, and --tsv where the command takes it.
Result<InspectOptions> ParseInspect(const Arguments& arguments, const char* command,
                                    bool takes_tsv) {
  static constexpr OptionKind kTsv[] = {{"tsv", 0, false}};
  Result<ParsedArguments> parsed =
      ParseOptions(arguments, std::span<const OptionKind>(kTsv, takes_tsv ? 1 : 0));
  if (!parsed) return Fail(parsed.reason());
  InspectOptions options;
  options.tsv = !parsed->options.empty();
  if (parsed->operands.size() != 1) return Fail(std::string(command) + " takes exactly one IMAGE");
  options.image = parsed->operands[0];
  return options;
}

const char* MethodName(image::Method method) {
  return method == image::Method::kDeflate ? "deflate" : "stored";
}

void ListForPeople(const image::ImageReader& reader) {
  reader.ForEachConfig([](std::string_view key, std::string_view value) {
    if (key != kScriptListKey) {
      std::printf("config %s: %s = %s\n", Printable(key).c_str(),
                  Counted(value.size(), "byte", "bytes").c_str(), Printable(value).c_str());
      return;
    }
    SplitModuleList split(value);
    std::printf("config %s: %s, %s\n", Printable(key).c_str(),
                Counted(value.size(), "byte", "bytes").c_str(),
                Counted(split.names.size(), "line", "lines").c_str());
    for (std::string_view name : split.names) std::printf("  %s\n", Printable(name).c_str());
    if (!split.unread.empty())
      std::printf("  %s  (no final LF: fwlaunch ignores this name)\n",
                  Printable(split.unread).c_str());
  });
  std::printf("%10s %10s %-7s %-8s %s\n", "size", "stored", "method", "crc32", "name");
  for (std::size_t i = 0; i < reader.entry_count(); ++i) {
    image::EntryInfo entry = reader.EntryAt(i);
    std::printf("%10" PRIu32 " %10" PRIu32 " %-7s %08" PRIx32 " %s\n", entry.original_size,
                entry.stored_size, MethodName(entry.method), entry.crc,
                Printable(entry.name).c_str());
  }
}

void ListForPrograms(const image::ImageReader& reader) {
  reader.ForEachConfig([](std::string_view key, std::string_view value) {
    std::printf("config\t%s\t%s\n", Printable(key, true).c_str(), Printable(value, true).c_str());
  });
  for (std::size_t i = 0; i < reader.entry_count(); ++i) {
    image::EntryInfo entry = reader.EntryAt(i);
    std::printf("entry\t%" PRIu32 "\t%" PRIu32 "\t%s\t%08" PRIx32 "\t%s\n", entry.original_size,
                entry.stored_size, MethodName(entry.method), entry.crc,
                Printable(entry.name, true).c_str());
  }
}

}  // namespace

int RunList(const Arguments& arguments) {
  Result<InspectOptions> options = ParseInspect(arguments, "list", true);
  if (!options) return UsageError(options.reason());
  std::optional<OpenedImage> opened = OpenImageFile(options->image);
  if (!opened) return kExitFailure;
  if (options->tsv)
    ListForPrograms(opened->reader);
  else
    ListForPeople(opened->reader);
  return kExitOk;
}

int RunVerify(const Arguments& arguments) {
  Result<InspectOptions> options = ParseInspect(arguments, "verify", false);
  if (!options) return UsageError(options.reason());
  std::optional<OpenedImage> opened = OpenImageFile(options->image);
  if (!opened) return kExitFailure;
  const image::ImageReader& reader = opened->reader;
  for (std::size_t i = 0; i < reader.entry_count(); ++i) {
    image::EntryInfo entry = reader.EntryAt(i);
    Status streamed = reader.Stream(entry, [](std::span<const std::uint8_t>) { return true; });
    if (!streamed) {
      Complain(options->image, "entry " + std::string(entry.name) + ": " + streamed.reason());
      return kExitFailure;
    }
  }
  std::printf("%s: %s OK\n", Printable(options->image).c_str(),
              Counted(reader.entry_count(), "entry", "entries").c_str());
  return kExitOk;
}

}  // namespace fwlaunch::fwpack
