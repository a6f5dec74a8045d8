#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace fwlaunch::platform {

struct OutputFile::State {
  int descriptor = -1;
  // How long the file was when opened: only what stands beyond the written bytes needs cutting.
  std::uint64_t found_size = 0;
  std::uint64_t written = 0;
};

namespace {

// Never through a link, never waiting on a FIFO; extra: O_EXCL to insist on a new file.
int OpenForWriting(const std::string& path, int extra) {
  int descriptor;
  do {
    descriptor =
        open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | extra, 0666);
  } while (descriptor < 0 && errno == EINTR);
  return descriptor;
}

}  // namespace

// The file is not truncated when opened but cut to what was written when closed: truncating a
// file that has blocks makes ext4 write it back at close (a module rewritten at every run paid
// 0.2 to 0.4 ms for that), while setting the length afterwards costs next to nothing.
std::optional<OutputFile> OutputFile::Create(const std::string& path) {
  // Only a regular file, or nothing, may stand under that name: a FIFO would block the open
  // until someone read it, and a device would take the bytes somewhere else. Checked before
  // opening, so that no device is ever opened, and again on what was opened, in case the
  // name changed in between.
  struct stat status;
  if (lstat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) return std::nullopt;
  int descriptor = OpenForWriting(path, 0);
  if (descriptor < 0) return std::nullopt;
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(descriptor);
    return std::nullopt;
  }
  // A file with other names would change under all of them if rewritten in place: it keeps
  // its bytes, and this name gets a file of its own.
  if (status.st_nlink > 1) {
    close(descriptor);
    if (unlink(path.c_str()) != 0) return std::nullopt;
    descriptor = OpenForWriting(path, O_EXCL);
    if (descriptor < 0) return std::nullopt;
    status.st_size = 0;
  }
  auto state = std::make_unique<State>();
  state->descriptor = descriptor;
  state->found_size = static_cast<std::uint64_t>(status.st_size);
  return OutputFile(std::move(state));
}

OutputFile::OutputFile(std::unique_ptr<State> state) : state_(std::move(state)) {}

OutputFile::OutputFile(OutputFile&& other) noexcept = default;

OutputFile::~OutputFile() { Close(); }

bool OutputFile::WriteAll(std::span<const std::uint8_t> bytes) {
  if (!state_ || state_->descriptor < 0) return false;
  int descriptor = state_->descriptor;
  while (!bytes.empty()) {
    ssize_t written = write(descriptor, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    state_->written += static_cast<std::uint64_t>(written);
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

bool OutputFile::Close() {
  if (!state_ || state_->descriptor < 0) return false;
  int descriptor = std::exchange(state_->descriptor, -1);
  // Whatever stood beyond what was written goes: the file holds exactly the bytes written. A
  // module rewritten at its own length, as at every run of the same firmware, needs no cut.
  bool cut = state_->found_size <= state_->written ||
             ftruncate(descriptor, static_cast<off_t>(state_->written)) == 0;
  // Linux releases the descriptor even when close fails, so it is never retried.
  return close(descriptor) == 0 && cut;
}

}  // namespace fwlaunch::platform
