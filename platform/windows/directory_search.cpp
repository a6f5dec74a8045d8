// The search the system's own purge makes, "*.*" and then every further entry, with the wide
// calls: the narrow ones hand back a name mapped to the code page, where a full-width "．．＼x"
// becomes "..\x", and deleting by that name would remove a file outside the folder. Listed
// and deleted by the same wide name, an entry is exactly the one found. An entry goes after its
// attributes are set to FILE_ATTRIBUTE_NORMAL, so that read-only and hidden files go too.
#include "platform/directory_search.h"

#include <windows.h>

#include <utility>

#include "platform/windows/last_error.h"

namespace fwlaunch::platform {

namespace {

std::wstring Wide(const std::string& text, UINT code_page) {
  int length =
      MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                      length);
  return wide;
}

std::string Utf8(const std::wstring& text) {
  int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), length,
                      nullptr, nullptr);
  return narrow;
}

}  // namespace

struct DirectorySearch::State {
  State(HANDLE opened, const WIN32_FIND_DATAW& first, std::wstring searched)
      : handle(opened), pending(first), folder(std::move(searched)) {}
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  ~State() { FindClose(handle); }
  HANDLE handle;
  WIN32_FIND_DATAW pending;
  bool has_pending = true;
  std::wstring folder;  // ends in a separator
  std::wstring found;   // the name Next() gave last
};

// The folder's path is the system's narrow text, as the rest of the program holds paths.
std::optional<DirectorySearch> DirectorySearch::Open(const std::string& folder) {
  std::wstring prefix = Wide(folder, CP_ACP);
  if (!prefix.empty() && prefix.back() != L'\\' && prefix.back() != L'/') prefix += L'\\';
  WIN32_FIND_DATAW first;
  HANDLE handle = FindFirstFileW((prefix + L"*.*").c_str(), &first);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  return DirectorySearch(std::make_unique<State>(handle, first, prefix));
}

DirectorySearch::DirectorySearch(std::unique_ptr<State> state) : state_(std::move(state)) {}

DirectorySearch::DirectorySearch(DirectorySearch&& other) noexcept
    : state_(std::move(other.state_)) {}

DirectorySearch::~DirectorySearch() = default;

std::optional<DirectoryEntry> DirectorySearch::Next() {
  if (!state_->has_pending) {
    if (!FindNextFileW(state_->handle, &state_->pending)) return std::nullopt;
  }
  state_->has_pending = false;
  const WIN32_FIND_DATAW& found = state_->pending;
  state_->found = found.cFileName;
  return DirectoryEntry{Utf8(state_->found),
                        (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
}

Status DirectorySearch::RemoveFound() {
  std::wstring path = state_->folder + state_->found;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (DeleteFileW(path.c_str())) return Done{};
  return Fail(DescribeLastError());
}

}  // namespace fwlaunch::platform
