#include "platform/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace fwlaunch::platform {

std::optional<OutputFile> OutputFile::Create(const std::string& path) {
  int descriptor;
  do {
    descriptor =
        open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  } while (descriptor < 0 && errno == EINTR);
  if (descriptor < 0) return std::nullopt;
  return OutputFile(descriptor);
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : handle_(std::exchange(other.handle_, kClosed)) {}

OutputFile::~OutputFile() { Close(); }

bool OutputFile::WriteAll(std::span<const std::uint8_t> bytes) {
  if (handle_ == kClosed) return false;
  int descriptor = static_cast<int>(handle_);
  while (!bytes.empty()) {
    ssize_t written = write(descriptor, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

bool OutputFile::Close() {
  if (handle_ == kClosed) return false;
  // Linux releases the descriptor even when close fails, so it is never retried.
  return close(static_cast<int>(std::exchange(handle_, kClosed))) == 0;
}

}  // namespace fwlaunch::platform
