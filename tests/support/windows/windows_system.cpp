#include "tests/support/windows/windows_system.h"

#include <windows.h>

#include <tlhelp32.h>

namespace fwlaunch::testing {

std::vector<std::uint32_t> ChildProcessesOf(std::uint32_t parent) {
  std::vector<std::uint32_t> children;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return children;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    if (entry.th32ParentProcessID == parent) children.push_back(entry.th32ProcessID);
  CloseHandle(snapshot);
  return children;
}

bool ProcessEndsWithin(std::uint32_t id, std::uint32_t milliseconds) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
  if (process == nullptr) return true;
  bool ended = WaitForSingleObject(process, milliseconds) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

bool SetMachineExpandString(const std::string& key, const std::string& name,
                            const std::string& value) {
  HKEY opened;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &opened, nullptr) != ERROR_SUCCESS)
    return false;
  LONG status = RegSetValueExA(opened, name.c_str(), 0, REG_EXPAND_SZ,
                               reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>(value.size() + 1));
  RegCloseKey(opened);
  return status == ERROR_SUCCESS;
}

}  // namespace fwlaunch::testing
