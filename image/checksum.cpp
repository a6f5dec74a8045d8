#include "image/checksum.h"

#include <libdeflate.h>

namespace fwlaunch::image {

std::uint32_t Crc32(std::uint32_t crc, std::span<const std::uint8_t> bytes) {
  return libdeflate_crc32(crc, bytes.data(), bytes.size());
}

}  // namespace fwlaunch::image
