#include "platform/zeroed_pages.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace fwlaunch::platform {

namespace {

constexpr std::size_t kHugePage = 2 * 1024 * 1024;

}  // namespace

ZeroedPages::ZeroedPages(std::size_t size) : size_(size) {
  // Not calloc: once the allocator has recycled memory of that size it zeroes all of it by
  // hand, every time. Mapped with room to start on a 2 MiB boundary, so that the kernel can
  // back all but the first 2 MiB with huge pages: a large module then costs a handful of page
  // faults instead of thousands, while a small one still touches only a few small pages
  // (a huge page would have to be cleared whole). Where huge pages are off, the hint is
  // ignored and nothing changes.
  mapped_size_ = size + kHugePage;
  void* mapped =
      mmap(nullptr, mapped_size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  mapped_ = mapped;
  auto address = reinterpret_cast<std::uintptr_t>(mapped);
  data_ = reinterpret_cast<std::uint8_t*>((address + kHugePage - 1) & ~(kHugePage - 1));
  if (size_ > kHugePage) madvise(data_ + kHugePage, size_ - kHugePage, MADV_HUGEPAGE);
}

ZeroedPages::~ZeroedPages() { munmap(mapped_, mapped_size_); }

}  // namespace fwlaunch::platform
