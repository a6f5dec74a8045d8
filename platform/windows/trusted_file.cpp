// The temporary folder here is the user's own profile folder, protected by the access control
// list it inherits; the library is loaded by its path, as the system's loader does. Only that a
// file (not a folder) stands there is checked.
#include "platform/trusted_file.h"

#include <windows.h>

#include <utility>

#include "platform/windows/last_error.h"

namespace fwlaunch::platform {

Result<TrustedFile> TrustedFile::Open(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Fail(path + ": " + DescribeLastError());
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
    return Fail(path + " is not a regular file");
  return TrustedFile(nullptr, path);
}

// Nothing is held: the library is loaded by its path.
struct TrustedFile::State {};

TrustedFile::TrustedFile(std::unique_ptr<State> state, std::string load_path)
    : state_(std::move(state)), load_path_(std::move(load_path)) {}

TrustedFile::TrustedFile(TrustedFile&& other) noexcept = default;
TrustedFile::~TrustedFile() = default;

}  // namespace fwlaunch::platform
