// The config section of an image: records of a key and a value, one after another.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

namespace fwlaunch::image {

// A key of 1 to 127 characters of A-Z, 0-9 and _.
bool IsValidConfigKey(std::string_view key);

// Config records as they stand, checked one at a time: a key of 1 to 127 characters of A-Z,
// 0-9 and _, a value of at most 1 MiB without NUL.
class ConfigWalk {
 public:
  explicit ConfigWalk(std::span<const std::uint8_t> section) : rest_(section) {}

  // The next record; nothing at the end or, with *valid set false, at a malformed record.
  std::optional<std::pair<std::string_view, std::string_view>> Next(bool* valid);

 private:
  std::span<const std::uint8_t> rest_;
};

}  // namespace fwlaunch::image
