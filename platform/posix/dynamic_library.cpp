#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <utility>

namespace fwlaunch::platform {

Result<DynamicLibrary> DynamicLibrary::Open(const std::string& path) {
  // A path without a slash would make dlopen search the system folders instead.
  if (path.find('/') == std::string::npos) return Fail(path + ": not a path to a file");
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    return Fail(why != nullptr ? why : path + ": cannot be loaded");
  }
  return DynamicLibrary(handle);
}

Result<DynamicLibrary> DynamicLibrary::OpenProgramPart(const std::string& file_name) {
  // Without a slash dlopen searches, and the run path it reads is that of the program, whose
  // code this is.
  if (file_name.find('/') != std::string::npos) return Fail(file_name + ": not a file name");
  void* handle = dlopen(file_name.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    return Fail(why != nullptr ? why : file_name + ": cannot be loaded");
  }
  return DynamicLibrary(handle);
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) dlclose(handle_);
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

DynamicLibrary::~DynamicLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

void* DynamicLibrary::Symbol(const char* name) const { return dlsym(handle_, name); }

std::optional<std::string> FolderOfLibraryHolding(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return std::nullopt;
  std::string path = info.dli_fname;
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return std::nullopt;
  return path.substr(0, slash + 1);
}

}  // namespace fwlaunch::platform
