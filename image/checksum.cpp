#include "image/checksum.h"

#if defined(FWLAUNCH_HAVE_LIBDEFLATE)
#include <libdeflate.h>
#else
#include <zlib.h>

#include <algorithm>
#endif

namespace fwlaunch::image {

std::uint32_t Crc32(std::uint32_t crc, std::span<const std::uint8_t> bytes) {
#if defined(FWLAUNCH_HAVE_LIBDEFLATE)
  return libdeflate_crc32(crc, bytes.data(), bytes.size());
#else
  // zlib takes a 32-bit length.
  while (!bytes.empty()) {
    std::size_t piece = std::min<std::size_t>(bytes.size(), 1u << 30);
    crc = static_cast<std::uint32_t>(crc32(crc, bytes.data(), static_cast<uInt>(piece)));
    bytes = bytes.subspan(piece);
  }
  return crc;
#endif
}

}  // namespace fwlaunch::image
