#include "platform/dynamic_library.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <string_view>
#include <utility>

namespace fwlaunch::platform {

namespace {

// The loader's handle, every symbol bound now, with the symbols in the given scope.
Result<void*> LoadHandle(const std::string& path, int scope) {
  // A path without a slash would make dlopen search the system folders instead.
  if (path.find('/') == std::string::npos) return Fail(path + ": not a path to a file");
  void* handle = dlopen(path.c_str(), RTLD_NOW | scope);
  if (handle == nullptr) {
    const char* why = dlerror();
    return Fail(why != nullptr ? why : path + ": cannot be loaded");
  }
  return handle;
}

}  // namespace

Result<DynamicLibrary> DynamicLibrary::Open(const std::string& path) {
  Result<void*> handle = LoadHandle(path, RTLD_LOCAL);
  if (!handle) return Fail(handle.reason());
  return DynamicLibrary(*handle);
}

Result<DynamicLibrary> DynamicLibrary::OpenSharingSymbols(const std::string& path) {
  Result<void*> handle = LoadHandle(path, RTLD_GLOBAL);
  if (!handle) return Fail(handle.reason());
  return DynamicLibrary(*handle);
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

namespace {

// The folder part of a file's path, ending in its separator; nothing for a bare name.
std::optional<std::string> FolderOf(std::string_view path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return std::nullopt;
  return std::string(path.substr(0, slash + 1));
}

}  // namespace

std::optional<std::string> FolderOfLibraryHolding(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return std::nullopt;
  return FolderOf(info.dli_fname);
}

std::optional<std::string> FolderOfThisProgram() {
  char path[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path) return std::nullopt;
  return FolderOf(std::string_view(path, static_cast<std::size_t>(length)));
}

}  // namespace fwlaunch::platform
