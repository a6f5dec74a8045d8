// What only the Windows tests need of the system: the registry, and the processes of a run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fwlaunch::testing {

// Sets a REG_EXPAND_SZ value under HKEY_LOCAL_MACHINE; false when the registry refuses.
bool SetMachineExpandString(const std::string& key, const std::string& name,
                            const std::string& value);

// The processes whose parent is the given process, by id.
std::vector<std::uint32_t> ChildProcessesOf(std::uint32_t parent);

// Whether the process ends within the time; true as well when it is already gone.
bool ProcessEndsWithin(std::uint32_t id, std::uint32_t milliseconds);

}  // namespace fwlaunch::testing
