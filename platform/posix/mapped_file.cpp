#include "platform/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/posix/populate_threshold.h"

namespace fwlaunch::platform {

namespace {

// The mapping of an open descriptor's file, or why there is none.
Result<std::pair<const std::uint8_t*, std::size_t>> Map(int descriptor) {
  struct stat status;
  if (fstat(descriptor, &status) != 0) return Fail(std::strerror(errno));
  if (S_ISDIR(status.st_mode)) return Fail(std::strerror(EISDIR));
  if (!S_ISREG(status.st_mode)) return Fail("not a regular file");
  if (status.st_size == 0) return std::pair<const std::uint8_t*, std::size_t>(nullptr, 0);
  auto size = static_cast<std::size_t>(status.st_size);
  void* data = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, descriptor, 0);
  if (data == MAP_FAILED) return Fail(std::strerror(errno));
  return std::pair(static_cast<const std::uint8_t*>(data), size);
}

}  // namespace

Result<MappedFile> MappedFile::Open(const std::string& path) {
  int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return Fail(std::strerror(errno));
  auto mapped = Map(descriptor);
  close(descriptor);  // the mapping stays valid without the descriptor
  if (!mapped) return Fail(mapped.reason());
  return MappedFile(mapped->first, mapped->second);
}

void MappedFile::WillRead(std::size_t offset, std::size_t length) const {
  if (data_ == nullptr || offset >= size_) return;
  length = std::min(length, size_ - offset);
  if (length < kWorthPopulating) return;
  // madvise wants a page-aligned start.
  auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  std::size_t start = offset / page * page;
  madvise(const_cast<std::uint8_t*>(data_) + start, length + (offset - start), MADV_POPULATE_READ);
}

void MappedFile::Unmap() {
  if (data_ != nullptr) munmap(const_cast<std::uint8_t*>(data_), size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace fwlaunch::platform
