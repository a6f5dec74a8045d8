#include "image/config_section.h"

#include <algorithm>

#include "image/image_format.h"

namespace fwlaunch::image {

bool IsValidConfigKey(std::string_view key) {
  return !key.empty() && key.size() <= kMaxKeyLength &&
         std::all_of(key.begin(), key.end(), [](char c) {
           return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
         });
}

std::optional<std::pair<std::string_view, std::string_view>> ConfigWalk::Next(bool* valid) {
  *valid = true;
  if (rest_.empty()) return std::nullopt;
  *valid = false;
  if (rest_.size() < kRecordHeaderSize) return std::nullopt;
  std::size_t key_length = ReadU16(rest_.data());
  std::size_t reserved = ReadU16(rest_.data() + 2);
  std::size_t value_length = ReadU32(rest_.data() + 4);
  if (reserved != 0 || value_length > kMaxValueLength ||
      rest_.size() - kRecordHeaderSize < key_length + value_length)
    return std::nullopt;
  auto text = [&](std::size_t at, std::size_t length) {
    return std::string_view(reinterpret_cast<const char*>(rest_.data() + at), length);
  };
  std::string_view key = text(kRecordHeaderSize, key_length);
  std::string_view value = text(kRecordHeaderSize + key_length, value_length);
  if (!IsValidConfigKey(key) || value.find('\0') != std::string_view::npos) return std::nullopt;
  rest_ = rest_.subspan(kRecordHeaderSize + key_length + value_length);
  *valid = true;
  return std::make_pair(key, value);
}

}  // namespace fwlaunch::image
