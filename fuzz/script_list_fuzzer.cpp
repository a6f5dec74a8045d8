// The extraction's walk of the script list: a 1024-byte list and the counts that each read
// returns, served by an in-process library. Nothing may be read or written out of bounds,
// and nothing may be written outside the working folder.
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "extract/extract_scripts.h"
#include "fuzz/fuzz_scratch.h"

namespace {

using namespace fwlaunch;

class CountsLibrary : public ScriptLibrary {
 public:
  CountsLibrary(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::int32_t QueryCfg(const char*, const char*, char* list) override {
    std::memcpy(list, data_, std::min(size_, kScriptListSize));
    return 0;
  }
  std::int32_t OpenFirmware(const char*, std::uint8_t*, std::uint8_t*) override { return 0; }
  std::int32_t ReadFileInFW(std::uint8_t*, const char* name, std::int32_t, std::int32_t capacity,
                            std::uint8_t* transfer, std::int32_t) override {
    if (std::strlen(name) >= kEntryNameSize) __builtin_trap();
    std::int32_t count = 0;
    if (next_ + 4 <= size_) {
      std::memcpy(&count, data_ + next_, 4);
      next_ += 4;
    }
    // Bytes a real library would have placed; the count may claim more, or nonsense.
    if (count > 0) std::memset(transfer, 'm', std::min(count, std::min(capacity, 4096)));
    return count;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t next_ = kScriptListSize;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::FuzzScratch scratch;
  static const bool prepared = [] {
    std::filesystem::create_directories(scratch.root() / "work" / "sub");
    return true;
  }();
  (void)prepared;

  CountsLibrary library(data, size);
  TransferBuffer transfer;
  ExtractModules(library, transfer, (scratch.root() / "work").string() + "/", "image.fw");
  if (!scratch.HoldsOnly({"work"})) __builtin_trap();
  scratch.Clear({"work"});
  std::filesystem::create_directories(scratch.root() / "work" / "sub");
  return 0;
}
