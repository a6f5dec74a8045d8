// The run lock is a named mutex, one per working folder (named after its full path). A mutex
// belongs to the thread that took it, is never inherited, and is given up when that thread
// ends, so no process a run leaves behind can hold it. Beside it, a small named mapping holds
// the owner's process id while it holds the lock; a run that finds the lock taken goes on at
// once when that owner is one of its ancestors: a run started from the run's script. (The
// run's own section process takes no lock at all: platform::IsSectionProcess.)
#include "platform/run_lock.h"

#include <windows.h>

#include <tlhelp32.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <utility>

#include "platform/windows/folder_key.h"

namespace fwlaunch::platform {

struct RunLock::State {
  HANDLE mutex = nullptr;
  HANDLE owner_record = nullptr;
  bool owned = false;
  bool inherited = false;
};

namespace {

std::string LockName(const std::string& folder) {
  return "Local\\fwlaunch-run-" + FolderKey(folder);
}

DWORD* OwnerView(HANDLE record) {
  return static_cast<DWORD*>(MapViewOfFile(record, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(DWORD)));
}

void WriteOwner(HANDLE record, DWORD process_id) {
  if (DWORD* owner = OwnerView(record)) {
    *static_cast<volatile DWORD*>(owner) = process_id;
    UnmapViewOfFile(owner);
  }
}

DWORD ReadOwner(HANDLE record) {
  DWORD process_id = 0;
  if (DWORD* owner = OwnerView(record)) {
    process_id = *static_cast<volatile DWORD*>(owner);
    UnmapViewOfFile(owner);
  }
  return process_id;
}

// Whether process_id is this process's parent, grandparent and so on.
bool IsAncestor(DWORD process_id) {
  if (process_id == 0) return false;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  std::map<DWORD, DWORD> parents;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    parents[entry.th32ProcessID] = entry.th32ParentProcessID;
  CloseHandle(snapshot);
  // Bounded, in case a chain loops through a reused process id.
  DWORD current = GetCurrentProcessId();
  for (int depth = 0; depth < 256; ++depth) {
    auto parent = parents.find(current);
    if (parent == parents.end() || parent->second == 0 || parent->second == current) return false;
    current = parent->second;
    if (current == process_id) return true;
  }
  return false;
}

bool Taken(DWORD wait) { return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED; }

}  // namespace

RunLock::RunLock(std::unique_ptr<State> state) : state_(std::move(state)) {}

RunLock::RunLock(RunLock&& other) noexcept : state_(std::move(other.state_)) {}

RunLock::~RunLock() {
  Release();
  if (state_ && state_->mutex != nullptr) CloseHandle(state_->mutex);
  if (state_ && state_->owner_record != nullptr) CloseHandle(state_->owner_record);
}

RunLock RunLock::Acquire(const std::string& folder) {
  auto state = std::make_unique<State>();
  // Nothing to lock without the folder, as on any system.
  DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return RunLock(std::move(state));
  std::string name = LockName(folder);
  state->mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  state->owner_record = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                           sizeof(DWORD), (name + "-owner").c_str());
  if (state->mutex == nullptr || state->owner_record == nullptr) return RunLock(std::move(state));

  if (!Taken(WaitForSingleObject(state->mutex, 0))) {
    if (IsAncestor(ReadOwner(state->owner_record))) {
      state->inherited = true;
      return RunLock(std::move(state));
    }
    if (!Taken(WaitForSingleObject(state->mutex, INFINITE))) return RunLock(std::move(state));
  }
  state->owned = true;
  WriteOwner(state->owner_record, GetCurrentProcessId());
  return RunLock(std::move(state));
}

void RunLock::Release() {
  if (!state_) return;
  if (state_->owned) {
    WriteOwner(state_->owner_record, 0);
    ReleaseMutex(state_->mutex);
  }
  state_->owned = false;
  state_->inherited = false;
}

// The section's process never takes the lock here: it runs the section alone
// (platform::IsSectionProcess), under its parent's.
void RunLock::LeaveToParent() {
  if (!state_) return;
  state_->owned = false;
  state_->inherited = false;
}

bool RunLock::owned() const { return state_ && state_->owned; }

bool RunLock::inherited() const { return state_ && state_->inherited; }

}  // namespace fwlaunch::platform
