#include "platform/zeroed_pages.h"

#include <windows.h>

#include <new>

namespace fwlaunch::platform {

// Committed pages come zero-filled and cost nothing until first written.
ZeroedPages::ZeroedPages(std::size_t size) : size_(size) {
  mapped_size_ = size;
  mapped_ = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (mapped_ == nullptr) throw std::bad_alloc();
  data_ = static_cast<std::uint8_t*>(mapped_);
}

ZeroedPages::~ZeroedPages() { VirtualFree(mapped_, 0, MEM_RELEASE); }

}  // namespace fwlaunch::platform
