// A shared object loaded at run time and unloaded when its owner goes.
#pragma once

#include <optional>
#include <string>

#include "base/result.h"

namespace fwlaunch::platform {

class DynamicLibrary {
 public:
  // Loads with every symbol bound now and none made global; the system loader's own words
  // when it cannot be loaded.
  static Result<DynamicLibrary> Open(const std::string& path);
  // The same, but with its symbols, and those of the libraries it needs, made available to
  // whatever is loaded after it (on Windows every library's are).
  static Result<DynamicLibrary> OpenSharingSymbols(const std::string& path);

  DynamicLibrary(DynamicLibrary&& other) noexcept;
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;
  ~DynamicLibrary();

  // The address of an exported symbol, or null when the library has none of that name.
  void* Symbol(const char* name) const;

  // Leaves the library loaded for the rest of the process: for one that cannot be unloaded
  // safely once used.
  void KeepLoaded() { handle_ = nullptr; }

 private:
  explicit DynamicLibrary(void* handle) : handle_(handle) {}
  void* handle_ = nullptr;
};

// The folder, ending in a separator, of the loaded library (or program) that holds the code or
// data at address; nothing when the system cannot say.
std::optional<std::string> FolderOfLibraryHolding(const void* address);

// The folder, ending in a separator, of this program's own file (links resolved); nothing when
// the system cannot say.
std::optional<std::string> FolderOfThisProgram();

}  // namespace fwlaunch::platform
