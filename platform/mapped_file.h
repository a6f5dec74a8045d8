// A whole file mapped read-only into memory, unmapped when its owner goes.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/result.h"

namespace fwlaunch::platform {

class MappedFile {
 public:
  // Maps a regular file; the reason when it cannot be opened or mapped, or is no regular
  // file. An empty file maps to an empty span.
  static Result<MappedFile> Open(const std::string& path);

  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  std::span<const std::uint8_t> bytes() const { return {data_, size_}; }

  // Maps the pages of a range that is about to be read in one go, rather than one page fault
  // at a time. Only a hint: kernels without it read the pages as before.
  void WillRead(std::size_t offset, std::size_t length) const;

 private:
  MappedFile(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  void Unmap();
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace fwlaunch::platform
