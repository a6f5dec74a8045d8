// Runs a Windows program from a test (under Wine on the build machine), with its standard
// output captured and its environment changed for it alone.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace fwlaunch::testing {

struct WindowsRun {
  std::uint32_t exit_code = 0;
  std::string out;  // standard output, as written (CRLF line ends)
  std::string err;
};

// Runs program with the arguments (each quoted as the C runtime splits them) and waits for
// it; the variables are set in its environment on top of this process's.
WindowsRun RunWindowsProgram(const std::string& program, const std::vector<std::string>& arguments,
                             const std::map<std::string, std::string>& environment = {});

// Sets a REG_EXPAND_SZ value under HKEY_LOCAL_MACHINE; false when the registry refuses.
bool SetMachineExpandString(const std::string& key, const std::string& name,
                            const std::string& value);

}  // namespace fwlaunch::testing
