#include "platform/windows/folder_key.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace fwlaunch::platform {

std::string FolderKey(const std::string& folder) {
  char full[1024] = {};
  DWORD length = GetFullPathNameA(folder.c_str(), sizeof full, full, nullptr);
  std::string path = (length > 0 && length < sizeof full) ? std::string(full, length) : folder;
  // One folder, however its path ends.
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (char c : path) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c == '/') c = '\\';
    hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
  }
  char key[17];
  std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(hash));
  return key;
}

}  // namespace fwlaunch::platform
