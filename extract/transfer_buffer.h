// The one 10 MiB buffer through which every module's bytes pass.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "module_list/module_list.h"
#include "platform/zeroed_pages.h"

namespace fwlaunch {

class TransferBuffer {
 public:
  // Takes the buffer zero-filled from the system, so pages the library never writes are never
  // touched. Throws std::bad_alloc when there is no memory for it.
  void Allocate();

  std::uint8_t* data() { return pages_->data(); }
  std::span<const std::uint8_t> First(std::size_t count) const { return {pages_->data(), count}; }
  static constexpr std::size_t size() { return static_cast<std::size_t>(kTransferSize); }

 private:
  std::unique_ptr<platform::ZeroedPages> pages_;
};

}  // namespace fwlaunch
