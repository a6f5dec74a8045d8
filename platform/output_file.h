// A file created (or truncated) for binary writing, closed when its owner goes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

namespace fwlaunch::platform {

class OutputFile {
 public:
  // Creates the file, or opens it to be replaced: once closed it holds exactly the bytes
  // written. Nothing when anything but a regular file stands under the name: a link is never
  // written through, a FIFO never waited on, a device never opened.
  static std::optional<OutputFile> Create(const std::string& path);

  OutputFile(OutputFile&& other) noexcept
      : handle_(std::exchange(other.handle_, kClosed)),
        found_size_(other.found_size_),
        written_(std::exchange(other.written_, 0)) {}
  OutputFile& operator=(OutputFile&&) = delete;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // Writes every byte or reports false (disk full, file too large, I/O error).
  bool WriteAll(std::span<const std::uint8_t> bytes);
  // Closes the file; false when the system reports that the data did not reach it, or that
  // what stood beyond it could not be cut off.
  bool Close();

 private:
  OutputFile(std::intptr_t handle, std::uint64_t found_size)
      : handle_(handle), found_size_(found_size) {}
  static constexpr std::intptr_t kClosed = -1;
  // The system's handle for the open file (its descriptor, or its runtime stream).
  std::intptr_t handle_ = kClosed;
  // How long the file was when opened: only what stands beyond the written bytes needs cutting.
  std::uint64_t found_size_ = 0;
  std::uint64_t written_ = 0;
};

}  // namespace fwlaunch::platform
