// Reading a firmware image held in memory (usually mapped). Nothing is trusted: every field is
// checked once when the image is opened, and every entry's CRC-32 when it is read.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/result.h"
#include "image/image_format.h"

namespace fwlaunch::image {

struct EntryInfo {
  std::string_view name;
  std::uint32_t offset = 0;
  std::uint32_t stored_size = 0;
  std::uint32_t original_size = 0;
  Method method = Method::kStored;
  std::uint32_t crc = 0;
};

class ImageReader {
 public:
  // Checks the whole structure; the reason when it is not a valid image.
  static Result<ImageReader> Open(std::span<const std::uint8_t> bytes);

  // The value of a config key, or nothing when the image has no such key.
  std::optional<std::string_view> Config(std::string_view key) const;
  // Calls visit with every config record's key and value, in image order.
  void ForEachConfig(
      const std::function<void(std::string_view key, std::string_view value)>& visit) const;

  std::size_t entry_count() const { return entry_count_; }
  EntryInfo EntryAt(std::size_t index) const;
  // Finds an entry by exact name with a binary search of the sorted table.
  std::optional<EntryInfo> Find(std::string_view name) const;

  // Puts the entry's original bytes from offset on at the start of out, after checking the
  // CRC-32 of the whole entry. Returns the count, or the reason there is none.
  Result<std::uint32_t> Read(const EntryInfo& entry, std::uint32_t offset,
                             std::span<std::uint8_t> out) const;

  // Hands the entry's original bytes to sink in pieces of at most 64 KiB, in order, with
  // memory bounded whatever size the entry claims. Done when the whole entry came out and its
  // CRC-32 matched; a sink that returns false stops it ("output failed").
  using Sink = std::function<bool(std::span<const std::uint8_t>)>;
  Status Stream(const EntryInfo& entry, const Sink& sink) const;

 private:
  explicit ImageReader(std::span<const std::uint8_t> bytes);
  std::span<const std::uint8_t> Table() const;
  // Open's checks of the config section and of one table entry, each failing with what is
  // wrong.
  static Status CheckConfig(std::span<const std::uint8_t> config);
  Status CheckEntry(std::size_t index, std::uint64_t data_offset) const;

  std::span<const std::uint8_t> bytes_;
  std::size_t config_size_ = 0;
  std::size_t entry_count_ = 0;
};

}  // namespace fwlaunch::image
