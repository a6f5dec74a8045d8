// The firmware image layout: a header, a config section of key/value texts, a table of named
// entries sorted by name, then the entries' data. Every integer is little-endian.
// docs/image-format.md describes it byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fwlaunch::image {

inline constexpr char kMagic[8] = {'F', 'W', 'L', 'I', 'M', 'A', 'G', 'E'};
inline constexpr std::uint16_t kVersion = 1;

inline constexpr std::size_t kHeaderSize = 64;
inline constexpr std::size_t kHeaderVersion = 8;
inline constexpr std::size_t kHeaderHeaderSize = 10;
inline constexpr std::size_t kHeaderFlags = 12;
inline constexpr std::size_t kHeaderConfigSize = 16;
inline constexpr std::size_t kHeaderEntryCount = 20;
inline constexpr std::size_t kHeaderImageSize = 24;
inline constexpr std::size_t kHeaderDataOffset = 28;
inline constexpr std::size_t kHeaderReserved = 32;
inline constexpr std::size_t kHeaderCrc = 60;

inline constexpr std::size_t kRecordHeaderSize = 8;  // key length, reserved, value length
inline constexpr std::size_t kMaxKeyLength = 127;
inline constexpr std::size_t kMaxValueLength = 1 << 20;
inline constexpr std::size_t kMaxConfigSize = 4 << 20;
inline constexpr std::size_t kMaxConfigRecords = 1024;

inline constexpr std::size_t kEntrySize = 160;
inline constexpr std::size_t kEntryNameField = 128;  // NUL-padded: at most 127 bytes of name
inline constexpr std::size_t kEntryOffset = 128;
inline constexpr std::size_t kEntryStoredSize = 132;
inline constexpr std::size_t kEntryOriginalSize = 136;
inline constexpr std::size_t kEntryMethod = 140;
inline constexpr std::size_t kEntryCrc = 144;
inline constexpr std::size_t kEntryReserved = 148;
inline constexpr std::size_t kMaxEntries = 65535;

enum class Method : std::uint8_t { kStored = 0, kDeflate = 1 };

inline std::uint16_t ReadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint32_t ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline void WriteU16(std::uint8_t* p, std::uint16_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
}
inline void WriteU32(std::uint8_t* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace fwlaunch::image
