// The reference library's reading of images, through its three exports, on any bytes.
#include <fwlaunch/script_library.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "extract/script_library.h"
#include "fuzz/fuzz_scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fwlaunch;
  static fuzz::FuzzScratch scratch;
  static std::vector<std::uint8_t> transfer(kTransferSize);
  const std::string image = (scratch.root() / "image.fw").string();
  {
    std::ofstream out(image, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }

  char list[kScriptListSize] = {};
  Py_QueryCfg(image.c_str(), kScriptListKey, list);
  if (std::memchr(list, '\0', sizeof list) == nullptr) __builtin_trap();

  std::uint8_t context[kContextSize] = {};
  std::memcpy(context, kAccessToken.data(), kAccessToken.size());
  Py_OpenFirmware(image.c_str(), transfer.data(), context);

  std::vector<std::string> names{"Launch.pyo", "payload.bin", ""};
  for (const char* line = list; *line != '\0';) {
    const char* end = std::strchr(line, '\n');
    if (end == nullptr) break;
    names.emplace_back(line, end);
    line = end + 1;
  }
  for (const std::string& name : names) {
    for (std::int32_t mode : {0, 1}) {
      std::memcpy(transfer.data(), kAccessToken.data(), kAccessToken.size());
      std::int32_t count =
          Py_ReadFileInFW(context, name.c_str(), 0, kTransferSize, transfer.data(), mode);
      if (count < 0 || count > kTransferSize) __builtin_trap();
      std::memcpy(transfer.data(), kAccessToken.data(), kAccessToken.size());
      Py_ReadFileInFW(context, name.c_str(), 3, 64, transfer.data(), mode);
    }
  }
  return 0;
}
