#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/request_hold.h"

namespace fwlaunch::platform {

// The first of the variables the C++ library consults that is set, else "/tmp"; kept when it is
// a folder. By hand rather than through std::filesystem, which would bring the C++ library's
// streams and locales into every program and their set-up into every start.
std::optional<std::string> TemporaryFolder() {
  const char* folder = nullptr;
  for (const char* variable : {"TMPDIR", "TMP", "TEMP", "TEMPDIR"}) {
    folder = secure_getenv(variable);
    if (folder != nullptr) break;
  }
  if (folder == nullptr) folder = "/tmp";
  struct stat status;
  if (stat(folder, &status) != 0 || !S_ISDIR(status.st_mode)) return std::nullopt;
  return std::string(folder);
}

// Linux hands paths on as the bytes they are.
std::optional<std::string> WhyNarrowCallsCannotReach(const std::string&) { return std::nullopt; }

// Linux has no such folder of its own: each program's build names what stands for it.
std::optional<std::string> MachineDataFolder() { return std::nullopt; }

bool PathExists(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0;
}

bool IsRegularFile(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

Result<std::uint64_t> RegularFileSize(const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return Fail(std::strerror(errno));
  if (!S_ISREG(status.st_mode)) return Fail("not a regular file");
  return static_cast<std::uint64_t>(status.st_size);
}

Result<std::uint64_t> ReadableFileSize(const std::string& path) {
  Result<std::uint64_t> size = RegularFileSize(path);
  if (!size) return size;
  int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) return Fail(std::strerror(errno));
  close(descriptor);
  return size;
}

std::optional<std::string> FirstLinkBelow(const std::string& folder, std::string_view relative) {
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path += '/';
  while (!relative.empty()) {
    std::size_t slash = relative.find('/');
    path.append(relative.substr(0, slash));
    struct stat status;
    if (lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) return path;
    if (slash == std::string_view::npos) break;
    path += '/';
    relative.remove_prefix(slash + 1);
  }
  return std::nullopt;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

namespace {

// Writes the whole text to the descriptor and onto the disk; 0, or the errno of the failing
// step.
int WriteAndSync(int descriptor, const std::string& bytes) {
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t written = write(descriptor, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    if (written == 0) return EIO;
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return fsync(descriptor) == 0 ? 0 : errno;
}

}  // namespace

Status WriteFileAtomically(const std::string& path, const std::string& bytes) {
  // While the temporary file exists, a request to end waits: it is removed or renamed first.
  RequestHold hold;
  std::string temporary = path + ".XXXXXX";
  int descriptor = mkostemp(temporary.data(), O_CLOEXEC);
  if (descriptor < 0)
    return Fail(std::string("cannot create a temporary file beside it: ") + std::strerror(errno));
  int error = WriteAndSync(descriptor, bytes);
  if (close(descriptor) != 0 && error == 0) error = errno;
  // mkstemp makes the file private; the result is as readable as any file the user creates.
  mode_t mask = umask(0);
  umask(mask);
  if (error == 0 && chmod(temporary.c_str(), 0666 & ~mask) != 0) error = errno;
  if (error == 0 && hold.Requested()) error = EINTR;
  if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    unlink(temporary.c_str());
    return Fail(std::string("cannot write: ") + std::strerror(error));
  }
  return Done{};
}

std::uint64_t UnpredictableNumber() {
  std::uint64_t number = 0;
  if (getrandom(&number, sizeof number, GRND_NONBLOCK) != sizeof number)
    number =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  return number;
}

}  // namespace fwlaunch::platform
