// A file created (or truncated) for binary writing, closed when its owner goes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace fwlaunch::platform {

class OutputFile {
 public:
  // Creates the file, or opens it to be replaced: once closed it holds exactly the bytes
  // written. Nothing when anything but a regular file stands under the name: a link is never
  // written through, a FIFO never waited on, a device never opened.
  static std::optional<OutputFile> Create(const std::string& path);

  OutputFile(OutputFile&& other) noexcept;
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
  // The open file as each system holds it (platform/posix/, platform/windows/).
  struct State;
  explicit OutputFile(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace fwlaunch::platform
