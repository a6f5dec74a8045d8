#include "tools/fwpack/image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/output_file.h"
#include "tools/fwpack/commands.h"

namespace fwlaunch::fwpack {

std::optional<OpenedImage> OpenImageFile(const std::string& path) {
  std::optional<platform::MappedFile> file = platform::MappedFile::Open(path);
  if (!file) {
    Complain(path, std::strerror(errno));
    return std::nullopt;
  }
  std::string why;
  std::optional<image::ImageReader> reader = image::ImageReader::Open(file->bytes(), &why);
  if (!reader) {
    Complain(path, why);
    return std::nullopt;
  }
  return OpenedImage{std::move(*file), *reader};
}

namespace {

// Writes the whole text to the descriptor; 0, or the errno of the failing step.
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

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* why) {
  std::string temporary = path + ".XXXXXX";
  int descriptor = mkstemp(temporary.data());
  if (descriptor < 0) {
    *why = std::string("cannot create a temporary file beside it: ") + std::strerror(errno);
    return false;
  }
  int error = WriteAndSync(descriptor, bytes);
  if (close(descriptor) != 0 && error == 0) error = errno;
  // mkstemp makes the file private; an image is as readable as any file the user creates.
  mode_t mask = umask(0);
  umask(mask);
  if (error == 0 && chmod(temporary.c_str(), 0666 & ~mask) != 0) error = errno;
  if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    *why = std::string("cannot write: ") + std::strerror(error);
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace fwlaunch::fwpack
