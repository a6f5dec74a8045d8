// The reference script library's three operations, exported as C functions. It reads firmware
// images of the documented format (docs/image-format.md).
#include <fwlaunch/script_library.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "module_list/module_list.h"
#include "platform/memory_hints.h"
#include "script_library/session_registry.h"

namespace {

using fwlaunch::kAccessToken;
using fwlaunch::kScriptListKey;
using fwlaunch::kScriptListSize;

// Read modes: the whole entry from the offset on, or only its size from there.
constexpr std::int32_t kModeSize = 0;
constexpr std::int32_t kModeRead = 1;

// The library's one piece of state for the whole process: the images it opened. Its API has
// no close operation, so they live here until the library is unloaded, which destroys this.
fwlaunch::script_library::SessionRegistry& Registry() {
  static fwlaunch::script_library::SessionRegistry registry;
  return registry;
}

bool StartsWithToken(const std::uint8_t* bytes) {
  return bytes != nullptr && std::memcmp(bytes, kAccessToken.data(), kAccessToken.size()) == 0;
}

// The part of a value that fits the list buffer with its NUL; the module list by its own rule.
std::string_view FitToList(std::string_view key, std::string_view value) {
  if (key == kScriptListKey) return fwlaunch::FitModuleList(value);
  return value.substr(0, std::min(value.size(), kScriptListSize - 1));
}

}  // namespace

// Each export catches everything: no C++ exception may cross into a C caller.

extern "C" FWL_EXPORT std::int32_t FWL_CALL Py_QueryCfg(const char* firmware_path, const char* key,
                                                        char* list) try {
  if (list == nullptr) return -1;
  list[0] = '\0';
  if (firmware_path == nullptr || key == nullptr) return -1;
  std::unique_ptr<fwlaunch::script_library::Session> session =
      fwlaunch::script_library::OpenImage(firmware_path);
  if (!session) return -1;
  std::optional<std::string_view> value = session->reader.Config(key);
  if (!value) return -1;
  std::string_view fitting = FitToList(key, *value);
  // An empty value may have no data at all to copy from.
  std::copy(fitting.begin(), fitting.end(), list);
  list[fitting.size()] = '\0';
  return static_cast<std::int32_t>(fitting.size());
} catch (...) {
  return -1;
}

extern "C" FWL_EXPORT std::int32_t FWL_CALL Py_OpenFirmware(const char* firmware_path,
                                                            std::uint8_t* transfer,
                                                            std::uint8_t* context) try {
  (void)transfer;  // accepted for the caller's sake; reads name their buffer themselves
  if (firmware_path == nullptr || !StartsWithToken(context)) return 0;
  return Registry().Open(firmware_path, context) ? 1 : 0;
} catch (...) {
  return 0;
}

extern "C" FWL_EXPORT std::int32_t FWL_CALL Py_ReadFileInFW(std::uint8_t* context, const char* name,
                                                            std::int32_t offset,
                                                            std::int32_t capacity,
                                                            std::uint8_t* transfer,
                                                            std::int32_t mode) try {
  if (!StartsWithToken(context) || !StartsWithToken(transfer) || name == nullptr || offset < 0 ||
      capacity <= 0)
    return 0;
  auto session = Registry().Find(context);
  if (!session) return 0;
  std::size_t name_length = strnlen(name, FWL_ENTRY_NAME_SIZE);
  std::optional<fwlaunch::image::EntryInfo> entry =
      session->reader.Find(std::string_view(name, name_length));
  if (!entry || static_cast<std::uint32_t>(offset) > entry->original_size) return 0;

  if (mode == kModeSize) {
    std::uint32_t size = entry->original_size - static_cast<std::uint32_t>(offset);
    return size > INT32_MAX ? 0 : static_cast<std::int32_t>(size);
  }
  if (mode != kModeRead) return 0;
  // Only what fits the caller's capacity is ever touched: a size the entry claims is checked
  // before any page of the transfer buffer is prepared for it.
  std::uint32_t count = entry->original_size - static_cast<std::uint32_t>(offset);
  if (count > static_cast<std::uint32_t>(capacity)) return 0;
  session->file.WillRead(entry->offset, entry->stored_size);
  fwlaunch::platform::WillWrite(transfer, count);
  fwlaunch::Result<std::uint32_t> read = session->reader.Read(
      *entry, static_cast<std::uint32_t>(offset), {transfer, static_cast<std::size_t>(capacity)});
  return read ? static_cast<std::int32_t>(*read) : 0;
} catch (...) {
  return 0;
}
