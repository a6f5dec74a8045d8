#include "platform/mapped_file.h"

#include <windows.h>

#include <utility>

namespace fwlaunch::platform {

Result<MappedFile> MappedFile::Open(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return Fail("Is a directory");
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Fail("No such file or cannot be opened");
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size) || GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return Fail("not a regular file");
  }
  if (size.QuadPart == 0) {
    CloseHandle(file);
    return MappedFile(nullptr, 0);
  }
  if (static_cast<std::uint64_t>(size.QuadPart) > SIZE_MAX) {
    CloseHandle(file);
    return Fail("too large to map");
  }
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  CloseHandle(file);  // the mapping keeps the file
  if (mapping == nullptr) return Fail("cannot be mapped");
  void* data = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  CloseHandle(mapping);  // the view keeps the mapping
  if (data == nullptr) return Fail("cannot be mapped");
  return MappedFile(static_cast<const std::uint8_t*>(data),
                    static_cast<std::size_t>(size.QuadPart));
}

void MappedFile::WillRead(std::size_t, std::size_t) const {}

void MappedFile::Unmap() {
  if (data_ != nullptr) UnmapViewOfFile(data_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace fwlaunch::platform
