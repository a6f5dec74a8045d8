#include "platform/dynamic_library.h"

#include <windows.h>

#include <utility>

#include "platform/windows/last_error.h"

namespace fwlaunch::platform {

Result<DynamicLibrary> DynamicLibrary::Open(const std::string& path) {
  HMODULE handle = LoadLibraryA(path.c_str());
  if (handle == nullptr) return Fail(path + ": " + DescribeLastError());
  return DynamicLibrary(reinterpret_cast<void*>(handle));
}

// Every library's exports are reachable by whoever holds its handle on Windows.
Result<DynamicLibrary> DynamicLibrary::OpenSharingSymbols(const std::string& path) {
  return Open(path);
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

DynamicLibrary::~DynamicLibrary() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

void* DynamicLibrary::Symbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

namespace {

// The folder, ending in a separator, of a loaded module's file (null: the program's own).
std::optional<std::string> FolderOfModule(HMODULE module) {
  char path[1024] = {};
  DWORD length = GetModuleFileNameA(module, path, sizeof path);
  if (length == 0 || length >= sizeof path) return std::nullopt;
  std::string folder(path, length);
  std::size_t separator = folder.find_last_of("\\/");
  if (separator == std::string::npos) return std::nullopt;
  return folder.substr(0, separator + 1);
}

}  // namespace

std::optional<std::string> FolderOfLibraryHolding(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCSTR>(address), &module))
    return std::nullopt;
  return FolderOfModule(module);
}

std::optional<std::string> FolderOfThisProgram() { return FolderOfModule(nullptr); }

}  // namespace fwlaunch::platform
