// The config section's parser on any bytes: records never reach past the section, and every
// record it accepts keeps the format's rules.
#include <cstdint>
#include <span>
#include <vector>

#include "image/config_section.h"
#include "image/image_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fwlaunch::image;
  // A copy of exactly the input's size, so that ASan sees any read past the section.
  std::vector<std::uint8_t> section(data, data + size);
  const char* begin = reinterpret_cast<const char*>(section.data());
  const char* end = begin + section.size();
  ConfigWalk walk(section);
  bool valid = true;
  std::size_t consumed = 0;
  while (auto record = walk.Next(&valid)) {
    auto [key, value] = *record;
    consumed += kRecordHeaderSize + key.size() + value.size();
    if (key.empty() || key.size() > kMaxKeyLength || value.size() > kMaxValueLength ||
        value.find('\0') != std::string_view::npos || consumed > size || key.data() < begin ||
        value.data() + value.size() > end)
      __builtin_trap();
  }
  return 0;
}
