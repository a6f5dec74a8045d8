#include "tests/support/run_program.h"

#include <windows.h>

#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace fwlaunch::testing {

namespace {

// The text as the wide calls take it, from UTF-8 or from the ANSI code page.
std::wstring Wide(const std::string& text, bool utf8) {
  UINT code_page = utf8 ? CP_UTF8 : CP_ACP;
  int length =
      MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                      length);
  return wide;
}

// Quotes an argument so that the C runtime's command-line splitting gives it back unchanged.
std::string Quote(const std::string& argument) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"')
      quoted.append(backslashes * 2 + 1, '\\');
    else
      quoted.append(backslashes, '\\');
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
  EnvironmentFor(const std::map<std::string, std::optional<std::string>>& variables, bool utf8) {
    for (const auto& [name, value] : variables) {
      std::wstring wide_name = Wide(name, utf8);
      std::vector<wchar_t> old(32768);
      DWORD length = GetEnvironmentVariableW(wide_name.c_str(), old.data(), old.size());
      saved_[wide_name] =
          length > 0 && length < old.size() ? std::wstring(old.data(), length) : std::wstring();
      had_[wide_name] = length > 0;
      SetEnvironmentVariableW(wide_name.c_str(), value ? Wide(*value, utf8).c_str() : nullptr);
    }
  }
  ~EnvironmentFor() {
    for (const auto& [name, value] : saved_)
      SetEnvironmentVariableW(name.c_str(), had_[name] ? value.c_str() : nullptr);
  }

 private:
  std::map<std::wstring, std::wstring> saved_;
  std::map<std::wstring, bool> had_;
};

}  // namespace

RunningProgram::RunningProgram(const std::string& program,
                               const std::vector<std::string>& arguments,
                               const ProgramOptions& options)
    : capture_(std::make_unique<ScratchFolder>()) {
  std::string out_path = (capture_->path() / "out").string();
  std::string err_path = (capture_->path() / "err").string();
  std::string command = Quote(program);
  for (const std::string& argument : arguments) command.append(" ").append(Quote(argument));

  HANDLE in = InheritableFile(options.input_file.empty() ? "NUL" : options.input_file, false);
  HANDLE out = InheritableFile(out_path, true);
  HANDLE err = InheritableFile(err_path, true);
  STARTUPINFOW startup = {};
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
    EnvironmentFor variables(options.environment, options.utf8_text);
    std::wstring wide_command = Wide(command, options.utf8_text);
    std::wstring folder = Wide(options.working_directory, options.utf8_text);
    created =
        CreateProcessW(Wide(program, false).c_str(), wide_command.data(), nullptr, nullptr, TRUE, 0,
                       nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &started);
  }
  CloseHandle(in);
  CloseHandle(out);
  CloseHandle(err);
  if (!created) throw std::runtime_error("cannot start " + program);
  CloseHandle(started.hThread);
  process_ = started.hProcess;
  pid_ = static_cast<int>(started.dwProcessId);
}

RunningProgram::RunningProgram(RunningProgram&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      process_(std::exchange(other.process_, nullptr)),
      terminal_(std::exchange(other.terminal_, -1)),
      capture_(std::move(other.capture_)) {}

RunningProgram::~RunningProgram() { Terminate(); }

ProgramRun RunningProgram::Wait() {
  WaitForSingleObject(process_, INFINITE);
  ProgramRun run;
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  run.exited = true;
  run.exit_status = static_cast<int>(code);
  CloseHandle(std::exchange(process_, nullptr));
  run.out = ReadFile(capture_->path() / "out");
  run.err = ReadFile(capture_->path() / "err");
  return run;
}

void RunningProgram::Terminate() {
  if (process_ == nullptr) return;
  TerminateProcess(process_, 1);
  WaitForSingleObject(process_, INFINITE);
  CloseHandle(std::exchange(process_, nullptr));
}

void RunningProgram::TypeInterrupt() const {
  throw std::runtime_error("Wine gives a test no console to type into");
}

ProgramOptions WithTemporaryFolder(const std::filesystem::path& folder) {
  ProgramOptions options;
  options.environment["TMP"] = folder.string();
  options.environment["TEMP"] = folder.string();
  return options;
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const ProgramOptions& options) {
  return RunningProgram(program, arguments, options).Wait();
}

}  // namespace fwlaunch::testing
