#include "tests/support/windows/windows_program.h"

#include <windows.h>

#include <mutex>
#include <stdexcept>

#include "tests/support/scratch_folder.h"

namespace fwlaunch::testing {

namespace {

// Quotes an argument so that the C runtime's command-line splitting gives it back unchanged.
std::string Quote(const std::string& argument) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') quoted.append(backslashes * 2 + 1, '\\');
    else quoted.append(backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

// A file handle the child inherits as one of its standard streams.
HANDLE InheritableFile(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Sets the variables in this process's environment for as long as it lives, so that a child
// started meanwhile inherits them.
class EnvironmentFor {
 public:
  explicit EnvironmentFor(const std::map<std::string, std::string>& variables) {
    for (const auto& [name, value] : variables) {
      char old[32768];
      DWORD length = GetEnvironmentVariableA(name.c_str(), old, sizeof old);
      saved_[name] = length > 0 && length < sizeof old ? std::string(old, length) : std::string();
      had_[name] = length > 0;
      SetEnvironmentVariableA(name.c_str(), value.c_str());
    }
  }
  ~EnvironmentFor() {
    for (const auto& [name, value] : saved_)
      SetEnvironmentVariableA(name.c_str(), had_[name] ? value.c_str() : nullptr);
  }

 private:
  std::map<std::string, std::string> saved_;
  std::map<std::string, bool> had_;
};

}  // namespace

WindowsRun RunWindowsProgram(const std::string& program, const std::vector<std::string>& arguments,
                             const std::map<std::string, std::string>& environment) {
  ScratchFolder capture;
  std::string out_path = (capture.path() / "out").string();
  std::string err_path = (capture.path() / "err").string();
  std::string command = Quote(program);
  for (const std::string& argument : arguments) command.append(" ").append(Quote(argument));

  HANDLE in = InheritableFile("NUL", false);
  HANDLE out = InheritableFile(out_path, true);
  HANDLE err = InheritableFile(err_path, true);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION started = {};
  BOOL created;
  {
    // The environment is this process's: one child at a time is started with it.
    static std::mutex starting;
    std::lock_guard lock(starting);
    EnvironmentFor variables(environment);
    created = CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                             nullptr, &startup, &started);
  }
  CloseHandle(in);
  CloseHandle(out);
  CloseHandle(err);
  if (!created) throw std::runtime_error("cannot start " + program);
  WaitForSingleObject(started.hProcess, INFINITE);
  WindowsRun run;
  DWORD code = 0;
  GetExitCodeProcess(started.hProcess, &code);
  run.exit_code = code;
  CloseHandle(started.hProcess);
  CloseHandle(started.hThread);
  run.out = ReadFile(out_path);
  run.err = ReadFile(err_path);
  return run;
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
