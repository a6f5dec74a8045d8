// The images that Py_OpenFirmware opened, found again from the context block the caller
// hands to every read. The library has no close operation, so an image stays open until the
// same context is opened again or the library is unloaded.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "image/image_reader.h"
#include "platform/mapped_file.h"

namespace fwlaunch::script_library {

struct Session {
  platform::MappedFile file;
  image::ImageReader reader;
};

class SessionRegistry {
 public:
  SessionRegistry();

  // Opens and checks the image and records it in the context (after the token); false, with
  // the context's state cleared, when the image cannot be mapped or is invalid.
  bool Open(const std::string& path, std::uint8_t* context);

  // The session a context names, if it was opened by this load of the library and is open.
  std::shared_ptr<const Session> Find(const std::uint8_t* context) const;

 private:
  mutable std::mutex mutex_;
  std::map<std::uint64_t, std::shared_ptr<const Session>> sessions_;
  std::uint64_t next_id_ = 1;
  // Differs between loads, so a context kept from an earlier load names nothing.
  std::uint64_t load_nonce_;
};

// Maps and checks an image; nothing when it cannot be read or is invalid.
std::unique_ptr<Session> OpenImage(const std::string& path);

}  // namespace fwlaunch::script_library
