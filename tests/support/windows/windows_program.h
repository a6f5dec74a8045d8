// Runs a Windows program from a test (under Wine on the build machine), with its standard
// output captured and its environment changed for it alone.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fwlaunch::testing {

class ScratchFolder;

struct WindowsRun {
  std::uint32_t exit_code = 0;
  std::string out;  // standard output, as written (CRLF line ends)
  std::string err;
};

// A program started and not yet waited for; ended (TerminateProcess) if never waited for.
class StartedWindowsProgram {
 public:
  // Starts program with the arguments (each quoted as the C runtime splits them); the
  // variables are set in its environment on top of this process's.
  StartedWindowsProgram(const std::string& program, const std::vector<std::string>& arguments,
                        const std::map<std::string, std::string>& environment = {});
  StartedWindowsProgram(const StartedWindowsProgram&) = delete;
  StartedWindowsProgram& operator=(const StartedWindowsProgram&) = delete;
  ~StartedWindowsProgram();

  std::uint32_t id() const { return id_; }
  WindowsRun Wait();
  // Ends the program at once, as the task manager would, and waits until it has ended.
  void Terminate();

 private:
  void* process_ = nullptr;
  std::uint32_t id_ = 0;
  std::unique_ptr<ScratchFolder> capture_;  // holds "out" and "err"
};

// Runs program and waits for it (StartedWindowsProgram).
WindowsRun RunWindowsProgram(const std::string& program, const std::vector<std::string>& arguments,
                             const std::map<std::string, std::string>& environment = {});

// The processes whose parent is the given process, by id.
std::vector<std::uint32_t> ChildProcessesOf(std::uint32_t parent);

// Whether the process ends within the time; true as well when it is already gone.
bool ProcessEndsWithin(std::uint32_t id, std::uint32_t milliseconds);

// Sets a REG_EXPAND_SZ value under HKEY_LOCAL_MACHINE; false when the registry refuses.
bool SetMachineExpandString(const std::string& key, const std::string& name,
                            const std::string& value);

}  // namespace fwlaunch::testing
