#include "platform/dynamic_library.h"

#include <windows.h>

#include <utility>

namespace fwlaunch::platform {

std::optional<DynamicLibrary> DynamicLibrary::Open(const std::string& path) {
  HMODULE handle = LoadLibraryA(path.c_str());
  if (handle == nullptr) return std::nullopt;
  return DynamicLibrary(reinterpret_cast<void*>(handle));
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

}  // namespace fwlaunch::platform
