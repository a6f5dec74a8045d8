// Each run is marked active by a named event of its own, from its start to the moment it
// decides whether to purge. That decision is taken under one machine-wide mutex, which the
// last run out keeps while it purges, so that of two runs ending together exactly one
// purges. A mark counts only while a live process of this program (or its twin, from this
// program's folder) has the process id it names: another user's objects or processes cannot
// make a run skip its purge, and a mutex that no run releases is waited for a while only.
#include "platform/shared_data_claim.h"

#include <windows.h>
// After windows.h, which they need.
#include <sddl.h>
#include <tlhelp32.h>

#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "platform/windows/folder_key.h"

namespace fwlaunch::platform {

struct SharedDataClaim::State {
  std::string folder;
  HANDLE mark = nullptr;
  HANDLE decision = nullptr;
  bool deciding = false;
};

namespace {

// How long a run waits for another run's purge, or for a mutex that may never be released.
constexpr DWORD kDecisionWait = 30000;

// The objects of one shared data folder, named after it: runs that purge different folders
// never meet.
std::wstring ObjectName(const std::string& folder, const std::string& what) {
  std::string name = "Global\\fwlaunch-shared-" + FolderKey(folder) + "-" + what;
  return std::wstring(name.begin(), name.end());
}

std::wstring MarkName(const std::string& folder, DWORD process) {
  return ObjectName(folder, "run-" + std::to_string(process));
}

// Every user's runs may wait for and take the mutex.
HANDLE OpenDecisionMutex(const std::string& folder) {
  std::wstring name = ObjectName(folder, "purge");
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  SECURITY_ATTRIBUTES everyone = {sizeof everyone, nullptr, FALSE};
  if (ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x00100001;;;WD)",
                                                           SDDL_REVISION_1, &descriptor, nullptr))
    everyone.lpSecurityDescriptor = descriptor;
  HANDLE mutex = CreateMutexW(&everyone, FALSE, name.c_str());
  if (mutex == nullptr) mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
  if (descriptor != nullptr) LocalFree(descriptor);
  return mutex;
}

bool Taken(DWORD wait) { return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED; }

std::wstring ExecutablePath(HANDLE process) {
  std::vector<wchar_t> path(32768);
  DWORD length = static_cast<DWORD>(path.size());
  if (!QueryFullProcessImageNameW(process, 0, path.data(), &length)) return {};
  return std::wstring(path.data(), length);
}

std::wstring Lower(std::wstring text) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// Whether the process runs an executable named fwlaunch... from this program's folder.
bool RunsThisProgram(DWORD process, const std::wstring& own_folder) {
  HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
  if (handle == nullptr) return false;
  std::wstring path = Lower(ExecutablePath(handle));
  CloseHandle(handle);
  std::size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return false;
  return path.substr(0, separator + 1) == own_folder &&
         path.compare(separator + 1, 8, L"fwlaunch") == 0;
}

// A mark exists whether or not this user may open it.
bool MarkExists(const std::string& folder, DWORD process) {
  HANDLE mark = OpenEventW(SYNCHRONIZE, FALSE, MarkName(folder, process).c_str());
  if (mark != nullptr) {
    CloseHandle(mark);
    return true;
  }
  return GetLastError() == ERROR_ACCESS_DENIED;
}

std::optional<long> OtherActiveRun(const std::string& folder) {
  std::wstring own = Lower(ExecutablePath(GetCurrentProcess()));
  std::wstring own_folder = own.substr(0, own.find_last_of(L"\\/") + 1);
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<long> found;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
       more = Process32NextW(snapshot, &entry)) {
    DWORD process = entry.th32ProcessID;
    if (process != GetCurrentProcessId() && MarkExists(folder, process) &&
        RunsThisProgram(process, own_folder))
      found = static_cast<long>(process);
  }
  CloseHandle(snapshot);
  return found;
}

}  // namespace

SharedDataClaim::SharedDataClaim(std::unique_ptr<State> state) : state_(std::move(state)) {}

SharedDataClaim::SharedDataClaim(SharedDataClaim&& other) noexcept
    : state_(std::move(other.state_)) {}

SharedDataClaim::~SharedDataClaim() {
  Release();
  if (state_ && state_->decision != nullptr) CloseHandle(state_->decision);
}

SharedDataClaim SharedDataClaim::Take(const std::string& folder) {
  auto state = std::make_unique<State>();
  DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return SharedDataClaim(std::move(state));
  state->folder = folder;
  state->mark = CreateEventW(nullptr, TRUE, FALSE, MarkName(folder, GetCurrentProcessId()).c_str());
  state->decision = OpenDecisionMutex(folder);
  // A run that purges keeps the mutex until it is done: wait for that, not longer.
  if (state->decision != nullptr && Taken(WaitForSingleObject(state->decision, kDecisionWait)))
    ReleaseMutex(state->decision);
  return SharedDataClaim(std::move(state));
}

std::optional<long> SharedDataClaim::ActiveRunBesidesThis() {
  if (!state_ || state_->mark == nullptr) return std::nullopt;
  state_->deciding =
      state_->decision != nullptr && Taken(WaitForSingleObject(state_->decision, kDecisionWait));
  // Out before looking, under the mutex: of two runs ending together, the second sees the
  // first out and purges.
  CloseHandle(std::exchange(state_->mark, nullptr));
  std::optional<long> other = OtherActiveRun(state_->folder);
  if (other && state_->deciding) {
    ReleaseMutex(state_->decision);
    state_->deciding = false;
  }
  return other;
}

void SharedDataClaim::Release() {
  if (!state_) return;
  if (state_->mark != nullptr) CloseHandle(std::exchange(state_->mark, nullptr));
  if (state_->deciding) ReleaseMutex(state_->decision);
  state_->deciding = false;
}

// The section's process is a program of its own there: it holds no copy of the claim.
void SharedDataClaim::LeaveToParent() {}

}  // namespace fwlaunch::platform
