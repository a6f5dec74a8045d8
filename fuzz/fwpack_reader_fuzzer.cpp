// fwpack's reading of images: list, verify and extract, on any bytes. Extraction must stay
// inside its target folder.
#include <cstdint>
#include <fstream>

#include "fuzz/fuzz_scratch.h"
#include "tools/fwpack/commands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fwlaunch;
  static fuzz::FuzzScratch scratch;
  const std::string image = (scratch.root() / "image.fw").string();
  const std::string out = (scratch.root() / "out").string();
  {
    std::ofstream file(image, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  fwpack::RunList({image});
  fwpack::RunVerify({image});
  fwpack::RunExtract({image, "-C", out});
  if (!scratch.HoldsOnly({"image.fw", "out"})) __builtin_trap();
  scratch.Clear({"image.fw"});
  return 0;
}
