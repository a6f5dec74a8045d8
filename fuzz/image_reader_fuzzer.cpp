// The image reader from memory: whatever the bytes, opening, looking up and reading never go
// out of bounds, and a read either fails or gives exactly the size the entry claims. The
// header's CRC-32 is made to match the input first, so that inputs reach the config section,
// the table and the entries instead of stopping at the checksum.
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/checksum.h"
#include "image/image_format.h"
#include "image/image_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fwlaunch::image;
  std::vector<std::uint8_t> image(data, data + size);
  if (image.size() >= kHeaderSize) {
    // The image size and the CRC as a writer would have set them; the rest as it came.
    WriteU32(image.data() + kHeaderImageSize, static_cast<std::uint32_t>(image.size()));
    std::uint64_t end = ReadU32(image.data() + kHeaderDataOffset);
    if (end >= kHeaderSize && end <= image.size()) {
      std::uint32_t crc = Crc32(0, {image.data(), kHeaderCrc});
      crc = Crc32(crc, {image.data() + kHeaderSize, static_cast<std::size_t>(end - kHeaderSize)});
      WriteU32(image.data() + kHeaderCrc, crc);
    }
  }
  fwlaunch::Result<ImageReader> reader = ImageReader::Open(image);
  if (!reader) return 0;
  reader->Config("SCRIPT_PYD");
  reader->ForEachConfig([](std::string_view, std::string_view) {});
  static std::vector<std::uint8_t> out(64 * 1024);
  for (std::size_t index = 0; index < reader->entry_count() && index < 64; ++index) {
    EntryInfo entry = reader->EntryAt(index);
    std::optional<EntryInfo> found = reader->Find(entry.name);
    if (!found || found->offset != entry.offset) __builtin_trap();
    fwlaunch::Result<std::uint32_t> count = reader->Read(entry, 0, out);
    if (count && *count != entry.original_size) __builtin_trap();
    if (entry.original_size > 0) {
      // From the middle on: what is left of the entry, or a failure, never more.
      std::uint32_t offset = entry.original_size / 2;
      fwlaunch::Result<std::uint32_t> rest = reader->Read(entry, offset, out);
      if (rest && *rest != entry.original_size - offset) __builtin_trap();
    }
    std::uint64_t streamed = 0;
    fwlaunch::Status whole = reader->Stream(entry, [&](std::span<const std::uint8_t> piece) {
      streamed += piece.size();
      return streamed <= out.size();  // bounded work per input
    });
    if (whole && streamed != entry.original_size) __builtin_trap();
  }
  return 0;
}
