// Every check is made on what was opened (fstat of the descriptors), and the file is loaded
// through /proc/self/fd, so a name swapped between check and use changes nothing. Owners are
// this process's effective user and root; "written by anyone else" is a group or other write
// bit. Links are followed, but each one on the way must be the user's or root's: a link is
// replaced by whoever owns it when it stands in a sticky folder such as /tmp.
#include "platform/trusted_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

namespace fwlaunch::platform {

namespace {

// A descriptor closed when its owner goes.
class Descriptor {
 public:
  explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (descriptor_ >= 0) close(descriptor_);
  }
  int get() const { return descriptor_; }
  int release() { return std::exchange(descriptor_, -1); }

 private:
  int descriptor_;
};

bool OwnedByUserOrRoot(const struct stat& status) {
  return status.st_uid == 0 || status.st_uid == geteuid();
}

std::string Mode(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// Why an opened folder or file is not the user's alone to change; nothing when it is.
std::optional<std::string> WhyUntrusted(const std::string& what, const struct stat& status) {
  if (!OwnedByUserOrRoot(status))
    return what + " belongs to uid " + std::to_string(status.st_uid) + ", neither you (uid " +
           std::to_string(geteuid()) + ") nor root";
  if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return what + " can be written by others (mode " + Mode(status.st_mode) +
           "): make it yours alone with chmod go-w";
  return std::nullopt;
}

// Refuses a link on the way to path that another user owns; each prefix of the path is
// looked at as it is now. The folder and file a link leads to are checked once opened.
std::optional<std::string> ForeignLinkOnTheWay(const std::string& path) {
  for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    std::string prefix = path.substr(0, end);
    struct stat status;
    if (!prefix.empty() && lstat(prefix.c_str(), &status) == 0 && S_ISLNK(status.st_mode) &&
        !OwnedByUserOrRoot(status))
      return prefix + " is a link of uid " + std::to_string(status.st_uid) +
             "'s, who can point it anywhere";
    if (end == std::string::npos) return std::nullopt;
  }
}

const char* Kind(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

std::string FolderPart(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NamePart(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string WithAdvice(const std::string& reason) {
  return reason + "; or set TMPDIR to a folder of your own";
}

}  // namespace

// The file held open, so that the name the loader is given stays the checked file.
struct TrustedFile::State {
  explicit State(int descriptor) : file(descriptor) {}
  Descriptor file;
};

Result<TrustedFile> TrustedFile::Open(const std::string& path) {
  const std::string folder_path = FolderPart(path), name = NamePart(path);
  if (std::optional<std::string> why = ForeignLinkOnTheWay(path)) return Fail(WithAdvice(*why));

  Descriptor folder(open(folder_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat status;
  if (folder.get() < 0 || fstat(folder.get(), &status) != 0)
    return Fail("the folder " + folder_path + " cannot be opened: " + std::strerror(errno));
  if (std::optional<std::string> why = WhyUntrusted("the folder " + folder_path, status))
    return Fail(WithAdvice(*why));

  // Looked at before opening, so that no FIFO blocks the open and no device is ever opened.
  struct stat found;
  if (fstatat(folder.get(), name.c_str(), &found, 0) != 0)
    return Fail(path + ": " + std::strerror(errno));
  if (!S_ISREG(found.st_mode)) return Fail(path + " is " + Kind(found.st_mode));
  Descriptor file(openat(folder.get(), name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0 || fstat(file.get(), &status) != 0)
    return Fail(path + ": " + std::strerror(errno));
  if (!S_ISREG(status.st_mode) || status.st_dev != found.st_dev || status.st_ino != found.st_ino)
    return Fail(path + " was replaced while it was being checked");
  if (std::optional<std::string> why = WhyUntrusted(path, status)) return Fail(WithAdvice(*why));

  // The descriptor's own name, where /proc is there to give one; otherwise the path, which in
  // a folder nobody else can write only the user can change.
  std::string by_descriptor = "/proc/self/fd/" + std::to_string(file.get());
  std::string load_path = access(by_descriptor.c_str(), R_OK) == 0 ? by_descriptor : path;
  return TrustedFile(std::make_unique<State>(file.release()), std::move(load_path));
}

TrustedFile::TrustedFile(std::unique_ptr<State> state, std::string load_path)
    : state_(std::move(state)), load_path_(std::move(load_path)) {}

TrustedFile::TrustedFile(TrustedFile&& other) noexcept = default;
TrustedFile::~TrustedFile() = default;

}  // namespace fwlaunch::platform
