#include "platform/dynamic_library.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <cstddef>
#include <utility>
#include <vector>

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

namespace {

// The folders the loader searches for the program's own libraries, in its order
// (LD_LIBRARY_PATH, the program's run path, the system's folders). Asked of the loader rather
// than left to a dlopen by bare name, which takes the run path of whatever calls it: a
// sanitizer's interceptor, for one.
std::vector<std::string> ProgramLibraryFolders() {
  std::vector<std::string> folders;
  void* program = dlopen(nullptr, RTLD_NOW);
  Dl_serinfo sizes;
  if (program == nullptr || dlinfo(program, RTLD_DI_SERINFOSIZE, &sizes) != 0) return folders;
  std::vector<std::max_align_t> storage(sizes.dls_size / sizeof(std::max_align_t) + 1);
  auto* info = reinterpret_cast<Dl_serinfo*>(storage.data());
  *info = sizes;
  if (dlinfo(program, RTLD_DI_SERINFO, info) != 0) return folders;
  for (unsigned int i = 0; i < info->dls_cnt; ++i) {
    const char* folder = info->dls_serpath[i].dls_name;
    if (folder != nullptr && *folder != '\0') folders.emplace_back(folder);
  }
  return folders;
}

}  // namespace

Result<DynamicLibrary> DynamicLibrary::OpenProgramPart(const std::string& file_name) {
  if (file_name.find('/') != std::string::npos) return Fail(file_name + ": not a file name");
  for (const std::string& folder : ProgramLibraryFolders()) {
    std::string path = folder + "/" + file_name;
    struct stat status;
    if (stat(path.c_str(), &status) != 0) continue;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (handle == nullptr) {
      const char* why = dlerror();
      return Fail(why != nullptr ? why : path + ": cannot be loaded");
    }
    return DynamicLibrary(handle);
  }
  return Fail(file_name + ": not found where the program's libraries are searched for");
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
