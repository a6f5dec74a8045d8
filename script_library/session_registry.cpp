#include "script_library/session_registry.h"

#include <cstring>

#include "platform/file_system.h"

namespace fwlaunch::script_library {

namespace {

// Where the library keeps its state in the context block, after the token.
constexpr std::size_t kStateOffset = 8;
constexpr char kStateMark[8] = {'F', 'W', 'L', 'C', 'T', 'X', 0, 1};
constexpr std::size_t kNonceOffset = kStateOffset + sizeof kStateMark;
constexpr std::size_t kIdOffset = kNonceOffset + 8;
constexpr std::size_t kStateEnd = kIdOffset + 8;

std::uint64_t NewNonce() {
  return platform::UnpredictableNumber() | 1;  // never zero: a zero-filled context never matches
}

std::uint64_t Load64(const std::uint8_t* at) {
  std::uint64_t value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

void Store64(std::uint8_t* at, std::uint64_t value) { std::memcpy(at, &value, sizeof value); }

}  // namespace

std::unique_ptr<Session> OpenImage(const std::string& path) {
  Result<platform::MappedFile> file = platform::MappedFile::Open(path);
  if (!file) return nullptr;
  Result<image::ImageReader> reader = image::ImageReader::Open(file->bytes());
  if (!reader) return nullptr;
  return std::unique_ptr<Session>(new Session{std::move(*file), *reader});
}

SessionRegistry::SessionRegistry() : load_nonce_(NewNonce()) {}

bool SessionRegistry::Open(const std::string& path, std::uint8_t* context) {
  std::unique_ptr<Session> session = OpenImage(path);
  std::lock_guard lock(mutex_);
  // Opening a context again replaces what it held, so repeated opens hold one image.
  if (std::memcmp(context + kStateOffset, kStateMark, sizeof kStateMark) == 0 &&
      Load64(context + kNonceOffset) == load_nonce_)
    sessions_.erase(Load64(context + kIdOffset));
  std::memset(context + kStateOffset, 0, kStateEnd - kStateOffset);
  if (!session) return false;

  std::uint64_t id = next_id_++;
  sessions_.emplace(id, std::move(session));
  std::memcpy(context + kStateOffset, kStateMark, sizeof kStateMark);
  Store64(context + kNonceOffset, load_nonce_);
  Store64(context + kIdOffset, id);
  return true;
}

std::shared_ptr<const Session> SessionRegistry::Find(const std::uint8_t* context) const {
  if (std::memcmp(context + kStateOffset, kStateMark, sizeof kStateMark) != 0 ||
      Load64(context + kNonceOffset) != load_nonce_)
    return nullptr;
  std::lock_guard lock(mutex_);
  auto session = sessions_.find(Load64(context + kIdOffset));
  return session == sessions_.end() ? nullptr : session->second;
}

}  // namespace fwlaunch::script_library
