#include "tests/support/windows/windows_program.h"

#include <windows.h>
#include <tlhelp32.h>

#include <mutex>
#include <stdexcept>
#include <utility>

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

StartedWindowsProgram::StartedWindowsProgram(const std::string& program,
                                             const std::vector<std::string>& arguments,
                                             const std::map<std::string, std::string>& environment)
    : capture_(std::make_unique<ScratchFolder>()) {
  std::string out_path = (capture_->path() / "out").string();
  std::string err_path = (capture_->path() / "err").string();
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
  CloseHandle(started.hThread);
  process_ = started.hProcess;
  id_ = started.dwProcessId;
}

StartedWindowsProgram::~StartedWindowsProgram() { Terminate(); }

WindowsRun StartedWindowsProgram::Wait() {
  WaitForSingleObject(process_, INFINITE);
  WindowsRun run;
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  run.exit_code = code;
  CloseHandle(std::exchange(process_, nullptr));
  run.out = ReadFile(capture_->path() / "out");
  run.err = ReadFile(capture_->path() / "err");
  return run;
}

void StartedWindowsProgram::Terminate() {
  if (process_ == nullptr) return;
  TerminateProcess(process_, 1);
  WaitForSingleObject(process_, INFINITE);
  CloseHandle(std::exchange(process_, nullptr));
}

WindowsRun RunWindowsProgram(const std::string& program, const std::vector<std::string>& arguments,
                             const std::map<std::string, std::string>& environment) {
  return StartedWindowsProgram(program, arguments, environment).Wait();
}

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
