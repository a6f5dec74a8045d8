#include "platform/file_system.h"

#include <windows.h>

#include <ntsecapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <vector>

#include "platform/request_hold.h"
#include "platform/windows/last_error.h"
#include "platform/windows/narrow_path.h"

namespace fwlaunch::platform {

namespace {

// The capacity the system's own calls are given for a path.
constexpr DWORD kPathCapacity = 1024;

}  // namespace

// Asked in full, so that a folder the code page cannot name is reached by its short name.
std::optional<std::string> TemporaryFolder() {
  std::vector<wchar_t> folder(kPathCapacity, L'\0');
  DWORD length = GetTempPathW(kPathCapacity, folder.data());
  // 0 is a failure; a length of the capacity or more is the size it would have needed.
  if (length == 0 || length >= kPathCapacity) return std::nullopt;
  if (std::optional<std::string> narrow = NarrowPathFor(std::wstring(folder.data(), length)))
    return narrow;
  // Without a short name: the code page's own rendering, which the run then fails to open and
  // the diagnostic twin explains (WhyNarrowCallsCannotReach).
  std::vector<char> rendered(kPathCapacity, '\0');
  length = GetTempPathA(kPathCapacity, rendered.data());
  if (length == 0 || length >= kPathCapacity) return std::nullopt;
  return std::string(rendered.data(), length);
}

std::optional<std::string> WhyNarrowCallsCannotReach(const std::string& path) {
  // '?' is never part of a file name: here it stands for a character the code page lacks.
  if (path.find('?') == std::string::npos) return std::nullopt;
  return "holds characters that the system's code page (" + std::to_string(GetACP()) +
         ") cannot say, shown as '?', and no short (8.3) name stands for them: use names the "
         "code page can say (for the temporary folder, set TEMP and TMP), or turn on short "
         "names for the volume (fsutil 8dot3name set)";
}

std::optional<std::string> MachineDataFolder() {
  IMalloc* allocator = nullptr;
  if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr) return std::nullopt;
  LPITEMIDLIST items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_COMMON_APPDATA, &items))) {
    allocator->Release();
    return std::nullopt;
  }
  char path[MAX_PATH] = {};
  BOOL converted = SHGetPathFromIDListA(items, path);
  allocator->Free(items);
  allocator->Release();
  if (!converted || path[0] == '\0') return std::nullopt;
  return std::string(path);
}

bool PathExists(const std::string& path) { return PathFileExistsA(path.c_str()) != 0; }

bool IsRegularFile(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

Result<std::uint64_t> ReadableFileSize(const std::string& path) {
  Result<std::uint64_t> size = RegularFileSize(path);
  if (!size) return size;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Fail(DescribeLastError());
  CloseHandle(file);
  return size;
}

Result<std::uint64_t> RegularFileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
    return Fail(DescribeLastError());
  if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
    return Fail("not a regular file");
  return static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

std::optional<std::string> FirstLinkBelow(const std::string& folder, std::string_view relative) {
  std::string path = folder;
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  while (!relative.empty()) {
    std::size_t separator = relative.find_first_of("\\/");
    path.append(relative.substr(0, separator));
    // Symbolic links and junctions are both reparse points.
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      return path;
    if (separator == std::string_view::npos) break;
    path += '\\';
    relative.remove_prefix(separator + 1);
  }
  return std::nullopt;
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

Status WriteFileAtomically(const std::string& path, const std::string& bytes) {
  // A name beside the target that no other process uses at the same moment.
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%lu.tmp", GetCurrentProcessId());
  std::string temporary = path + suffix;
  // While the temporary file exists, Ctrl-C waits: it is removed or renamed first.
  RequestHold hold;
  HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return Fail("cannot create a temporary file beside it: " + DescribeLastError());
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  bool written = true;
  while (written && left > 0) {
    DWORD piece = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
    DWORD done = 0;
    written = WriteFile(file, data, piece, &done, nullptr) && done > 0;
    data += done;
    left -= done;
  }
  written = written && FlushFileBuffers(file);
  std::string reason = written ? "" : DescribeLastError();
  CloseHandle(file);
  if (written && hold.Requested()) {
    written = false;
    reason = "interrupted";
  }
  if (written && !MoveFileExA(temporary.c_str(), path.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    written = false;
    reason = DescribeLastError();
  }
  if (!written) {
    DeleteFileA(temporary.c_str());
    return Fail("cannot write: " + reason);
  }
  return Done{};
}

std::uint64_t UnpredictableNumber() {
  std::uint64_t number = 0;
  if (!RtlGenRandom(&number, sizeof number)) {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    number = static_cast<std::uint64_t>(counter.QuadPart) ^
             static_cast<std::uint64_t>(GetCurrentProcessId()) << 40;
  }
  return number;
}

}  // namespace fwlaunch::platform
