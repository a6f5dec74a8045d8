// CRC-32 as zlib, gzip and PNG define it: libdeflate's carry-less multiply code where the build has
// it, several times faster than zlib's on the large entries a read verifies; zlib's elsewhere.
#pragma once

#include <cstdint>
#include <span>

namespace fwlaunch::image {

// Continues a CRC-32 (start with 0) over more bytes.
std::uint32_t Crc32(std::uint32_t crc, std::span<const std::uint8_t> bytes);

}  // namespace fwlaunch::image
