// Module files are written with the C runtime's binary file output, as the system's own
// extraction writes them.
#include "platform/output_file.h"

#include <cstdio>
#include <utility>

namespace fwlaunch::platform {

namespace {

std::FILE* AsFile(std::intptr_t handle) { return reinterpret_cast<std::FILE*>(handle); }

}  // namespace

std::optional<OutputFile> OutputFile::Create(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return std::nullopt;
  return OutputFile(reinterpret_cast<std::intptr_t>(file), 0);  // "wb" empties it
}

OutputFile::~OutputFile() { Close(); }

bool OutputFile::WriteAll(std::span<const std::uint8_t> bytes) {
  if (handle_ == kClosed) return false;
  std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), AsFile(handle_));
  written_ += written;
  return written == bytes.size();
}

bool OutputFile::Close() {
  if (handle_ == kClosed) return false;
  return std::fclose(AsFile(std::exchange(handle_, kClosed))) == 0;
}

}  // namespace fwlaunch::platform
