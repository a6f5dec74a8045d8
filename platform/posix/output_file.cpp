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
    : descriptor_(std::exchange(other.descriptor_, -1)) {}

OutputFile::~OutputFile() { Close(); }

bool OutputFile::WriteAll(std::span<const std::uint8_t> bytes) {
  if (descriptor_ < 0) return false;
  while (!bytes.empty()) {
    ssize_t written = write(descriptor_, bytes.data(), bytes.size());
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
  if (descriptor_ < 0) return false;
  // Linux releases the descriptor even when close fails, so it is never retried.
  return close(std::exchange(descriptor_, -1)) == 0;
}

}  // namespace fwlaunch::platform
