#include "image/image_reader.h"

#if defined(FWLAUNCH_HAVE_LIBDEFLATE)
#include <libdeflate.h>
#endif
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <set>

#include "image/checksum.h"
#include "image/config_section.h"

namespace fwlaunch::image {

namespace {

bool AllZero(std::span<const std::uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

// A table entry's name field: 1 to 127 bytes, then NULs only.
std::optional<std::string_view> EntryName(const std::uint8_t* field) {
  const auto* end = std::find(field, field + kEntryNameField, 0);
  std::size_t length = static_cast<std::size_t>(end - field);
  if (length == 0 || length == kEntryNameField) return std::nullopt;
  if (!AllZero({end, field + kEntryNameField})) return std::nullopt;
  return std::string_view(reinterpret_cast<const char*>(field), length);
}

}  // namespace

constexpr char kOffsetPastEnd[] = "offset past the end of the entry";
constexpr char kCapacityTooSmall[] = "entry larger than the buffer";
constexpr char kCorrupt[] = "corrupt compressed data";
constexpr char kCrcMismatch[] = "CRC-32 mismatch";
constexpr char kOutputFailed[] = "output failed";

ImageReader::ImageReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

Result<ImageReader> ImageReader::Open(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kHeaderSize) return Fail("too short for a header");
  const std::uint8_t* header = bytes.data();
  if (std::memcmp(header, kMagic, sizeof kMagic) != 0)
    return Fail("not a firmware image (bad magic)");
  if (ReadU16(header + kHeaderVersion) != kVersion)
    return Fail("unsupported format version " + std::to_string(ReadU16(header + kHeaderVersion)));
  if (ReadU16(header + kHeaderHeaderSize) != kHeaderSize || ReadU32(header + kHeaderFlags) != 0 ||
      !AllZero({header + kHeaderReserved, header + kHeaderCrc}))
    return Fail("malformed header");

  std::uint64_t config_size = ReadU32(header + kHeaderConfigSize);
  std::uint64_t entry_count = ReadU32(header + kHeaderEntryCount);
  std::uint64_t image_size = ReadU32(header + kHeaderImageSize);
  std::uint64_t data_offset = ReadU32(header + kHeaderDataOffset);
  if (image_size != bytes.size())
    return Fail("size " + std::to_string(bytes.size()) + " differs from the header's " +
                std::to_string(image_size) + " (truncated or extended)");
  if (config_size > kMaxConfigSize || entry_count > kMaxEntries ||
      data_offset != kHeaderSize + config_size + entry_count * kEntrySize ||
      data_offset > image_size)
    return Fail("section sizes out of bounds");

  std::uint32_t crc = Crc32(0, bytes.first(kHeaderCrc));
  crc = Crc32(crc, bytes.subspan(kHeaderSize, data_offset - kHeaderSize));
  if (crc != ReadU32(header + kHeaderCrc)) return Fail("header or table CRC-32 mismatch");

  ImageReader reader(bytes);
  reader.config_size_ = config_size;
  reader.entry_count_ = entry_count;

  Status config = CheckConfig(bytes.subspan(kHeaderSize, config_size));
  if (!config) return Fail(config.reason());
  for (std::size_t index = 0; index < entry_count; ++index) {
    Status entry = reader.CheckEntry(index, data_offset);
    if (!entry) return Fail(entry.reason());
  }
  return reader;
}

Status ImageReader::CheckConfig(std::span<const std::uint8_t> config) {
  ConfigWalk walk(config);
  bool valid = true;
  std::set<std::string_view> keys;
  while (auto record = walk.Next(&valid)) {
    if (keys.size() == kMaxConfigRecords)
      return Fail("more than " + std::to_string(kMaxConfigRecords) + " config records");
    if (!keys.insert(record->first).second)
      return Fail("config key " + std::string(record->first) + " appears twice");
  }
  if (!valid) return Fail("malformed config record");
  return Done{};
}

Status ImageReader::CheckEntry(std::size_t index, std::uint64_t data_offset) const {
  const std::uint8_t* raw = Table().data() + index * kEntrySize;
  std::string number = "table entry " + std::to_string(index);
  std::optional<std::string_view> name = EntryName(raw);
  if (!name) return Fail(number + ": malformed name");
  std::string named = number + " (" + std::string(*name) + "): ";
  if (index > 0 && std::memcmp(raw - kEntrySize, raw, kEntryNameField) >= 0)
    return Fail(named + "names not sorted or repeated");
  EntryInfo entry = EntryAt(index);
  std::uint8_t method = raw[kEntryMethod];
  if (method > static_cast<std::uint8_t>(Method::kDeflate) ||
      !AllZero({raw + kEntryMethod + 1, raw + kEntryCrc}) ||
      !AllZero({raw + kEntryReserved, raw + kEntrySize}))
    return Fail(named + "malformed fields");
  if (entry.offset < data_offset ||
      static_cast<std::uint64_t>(entry.offset) + entry.stored_size > bytes_.size())
    return Fail(named + "data out of bounds");
  if (entry.method == Method::kStored && entry.stored_size != entry.original_size)
    return Fail(named + "stored size differs");
  return Done{};
}

std::span<const std::uint8_t> ImageReader::Table() const {
  return bytes_.subspan(kHeaderSize + config_size_, entry_count_ * kEntrySize);
}

std::optional<std::string_view> ImageReader::Config(std::string_view key) const {
  ConfigWalk walk(bytes_.subspan(kHeaderSize, config_size_));
  bool valid = true;
  while (auto record = walk.Next(&valid))
    if (record->first == key) return record->second;
  return std::nullopt;
}

void ImageReader::ForEachConfig(
    const std::function<void(std::string_view key, std::string_view value)>& visit) const {
  ConfigWalk walk(bytes_.subspan(kHeaderSize, config_size_));
  bool valid = true;
  while (auto record = walk.Next(&valid)) visit(record->first, record->second);
}

EntryInfo ImageReader::EntryAt(std::size_t index) const {
  const std::uint8_t* raw = Table().data() + index * kEntrySize;
  EntryInfo entry;
  entry.name = std::string_view(reinterpret_cast<const char*>(raw),
                                strnlen(reinterpret_cast<const char*>(raw), kEntryNameField));
  entry.offset = ReadU32(raw + kEntryOffset);
  entry.stored_size = ReadU32(raw + kEntryStoredSize);
  entry.original_size = ReadU32(raw + kEntryOriginalSize);
  entry.method = static_cast<Method>(raw[kEntryMethod]);
  entry.crc = ReadU32(raw + kEntryCrc);
  return entry;
}

std::optional<EntryInfo> ImageReader::Find(std::string_view name) const {
  if (name.empty() || name.size() >= kEntryNameField) return std::nullopt;
  std::array<std::uint8_t, kEntryNameField> field{};
  std::memcpy(field.data(), name.data(), name.size());
  std::size_t low = 0, high = entry_count_;
  while (low < high) {
    std::size_t middle = low + (high - low) / 2;
    int order = std::memcmp(Table().data() + middle * kEntrySize, field.data(), field.size());
    if (order == 0) return EntryAt(middle);
    if (order < 0)
      low = middle + 1;
    else
      high = middle;
  }
  return std::nullopt;
}

namespace {

enum class InflateEnd { kWhole, kCorrupt, kRefused };

// Inflates a zlib stream of original bytes: room(produced) says where the next output goes,
// took(made) hears what was made there and may refuse it. The room is never more than the
// entry says is left, so a longer stream shows as corrupt; whole when the stream ends there,
// with its input. *crc covers everything produced.
template <typename Room, typename Took>
InflateEnd InflateInto(std::span<const std::uint8_t> stored, std::uint64_t original,
                       std::uint32_t* crc, Room room, Took took) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return InflateEnd::kCorrupt;
  stream.next_in = const_cast<Bytef*>(stored.data());
  stream.avail_in = static_cast<uInt>(stored.size());
  std::uint64_t produced = 0;
  int status;
  // zlib reports Z_OK only when it made progress, so this ends: the input is finite and the
  // room never grows past what the entry says it holds.
  do {
    std::span<std::uint8_t> target = room(produced);
    target = target.first(std::min<std::uint64_t>(target.size(), original - produced));
    stream.next_out = target.data();
    stream.avail_out = static_cast<uInt>(target.size());
    status = inflate(&stream, Z_NO_FLUSH);
    std::span<const std::uint8_t> made = target.first(target.size() - stream.avail_out);
    *crc = Crc32(*crc, made);
    produced += made.size();
    if (!made.empty() && !took(made)) {
      inflateEnd(&stream);
      return InflateEnd::kRefused;
    }
  } while (status == Z_OK);
  bool whole = status == Z_STREAM_END && produced == original && stream.avail_in == 0;
  inflateEnd(&stream);
  return whole ? InflateEnd::kWhole : InflateEnd::kCorrupt;
}

// Inflates a zlib stream of original bytes, dropping the first skip and putting the rest,
// which out must hold exactly, at its start.
bool Inflate(std::span<const std::uint8_t> stored, std::uint32_t original, std::uint32_t skip,
             std::span<std::uint8_t> out, std::uint32_t* crc) {
  std::array<std::uint8_t, 16384> discard;
  auto room = [&](std::uint64_t produced) {
    if (produced < skip)
      return std::span<std::uint8_t>(discard).first(
          std::min<std::uint64_t>(discard.size(), skip - produced));
    return out.subspan(produced - skip);
  };
  return InflateInto(stored, original, crc, room, [](auto) { return true; }) == InflateEnd::kWhole;
}

// Inflates a whole zlib stream, which must fill out exactly, in one call: about twice as fast
// as zlib's streaming inflate, which remains for reads from an offset.
bool InflateWhole(std::span<const std::uint8_t> stored, std::span<std::uint8_t> out,
                  std::uint32_t* crc) {
#if !defined(FWLAUNCH_HAVE_LIBDEFLATE)
  return Inflate(stored, static_cast<std::uint32_t>(out.size()), 0, out, crc);
#else
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  if (decompressor == nullptr) return Inflate(stored, out.size(), 0, out, crc);
  std::size_t read = 0, written = 0;
  libdeflate_result result = libdeflate_zlib_decompress_ex(
      decompressor, stored.data(), stored.size(), out.data(), out.size(), &read, &written);
  libdeflate_free_decompressor(decompressor);
  if (result != LIBDEFLATE_SUCCESS || read != stored.size() || written != out.size()) return false;
  *crc = Crc32(0, out);
  return true;
#endif
}

}  // namespace

Result<std::uint32_t> ImageReader::Read(const EntryInfo& entry, std::uint32_t offset,
                                        std::span<std::uint8_t> out) const {
  if (offset > entry.original_size) return Fail(kOffsetPastEnd);
  std::uint32_t count = entry.original_size - offset;
  if (count > out.size()) return Fail(kCapacityTooSmall);
  std::span<const std::uint8_t> stored = bytes_.subspan(entry.offset, entry.stored_size);

  std::uint32_t crc = 0;
  if (entry.method == Method::kStored) {
    crc = Crc32(crc, stored.first(offset));
    // Copy and check in cache-sized steps, so each byte is read from memory once.
    constexpr std::size_t kStep = 64 * 1024;
    for (std::size_t done = 0; done < count; done += kStep) {
      std::size_t step = std::min<std::size_t>(kStep, count - done);
      std::memcpy(out.data() + done, stored.data() + offset + done, step);
      crc = Crc32(crc, out.subspan(done, step));
    }
  } else if (offset == 0 ? !InflateWhole(stored, out.first(count), &crc)
                         : !Inflate(stored, entry.original_size, offset, out.first(count), &crc)) {
    return Fail(kCorrupt);
  }
  if (crc != entry.crc) return Fail(kCrcMismatch);
  return count;
}

Status ImageReader::Stream(const EntryInfo& entry, const Sink& sink) const {
  constexpr std::size_t kPiece = 64 * 1024;
  std::span<const std::uint8_t> stored = bytes_.subspan(entry.offset, entry.stored_size);
  std::uint32_t crc = 0;
  if (entry.method == Method::kStored) {
    for (std::size_t done = 0; done < stored.size(); done += kPiece) {
      std::span<const std::uint8_t> piece =
          stored.subspan(done, std::min(kPiece, stored.size() - done));
      crc = Crc32(crc, piece);
      if (!sink(piece)) return Fail(kOutputFailed);
    }
  } else {
    std::array<std::uint8_t, kPiece> piece;
    InflateEnd end = InflateInto(
        stored, entry.original_size, &crc, [&](std::uint64_t) { return std::span(piece); },
        [&](std::span<const std::uint8_t> made) { return sink(made); });
    if (end == InflateEnd::kRefused) return Fail(kOutputFailed);
    if (end == InflateEnd::kCorrupt) return Fail(kCorrupt);
  }
  if (crc != entry.crc) return Fail(kCrcMismatch);
  return Done{};
}

}  // namespace fwlaunch::image
