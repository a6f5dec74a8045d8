// The one 10 MiB buffer through which every module's bytes pass.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

#include "extract/extraction_limits.h"

namespace fwlaunch {

class TransferBuffer {
 public:
  // Takes the buffer zero-filled from the allocator, so pages the library never writes are
  // never touched. Throws std::bad_alloc when there is no memory for it.
  void Allocate();

  bool allocated() const { return bytes_ != nullptr; }
  std::uint8_t* data() { return bytes_.get(); }
  std::span<const std::uint8_t> First(std::size_t count) const { return {bytes_.get(), count}; }
  static constexpr std::size_t size() { return static_cast<std::size_t>(kTransferSize); }

 private:
  struct Free {
    void operator()(std::uint8_t* bytes) const { std::free(bytes); }
  };
  std::unique_ptr<std::uint8_t, Free> bytes_;
};

}  // namespace fwlaunch
