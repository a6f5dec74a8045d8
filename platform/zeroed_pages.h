// A private anonymous mapping: memory the kernel hands over zero-filled, whose pages cost
// nothing until they are first written. Unmapped when its owner goes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fwlaunch::platform {

class ZeroedPages {
 public:
  // Maps size bytes; throws std::bad_alloc when the system has no room for them.
  explicit ZeroedPages(std::size_t size);
  ZeroedPages(const ZeroedPages&) = delete;
  ZeroedPages& operator=(const ZeroedPages&) = delete;
  ~ZeroedPages();

  std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  void* mapped_;
  std::size_t mapped_size_;
  std::uint8_t* data_;
  std::size_t size_;
};

}  // namespace fwlaunch::platform
