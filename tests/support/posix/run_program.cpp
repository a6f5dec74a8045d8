#include "tests/support/run_program.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <stdexcept>
#include <thread>
#include <utility>

#include "tests/support/scratch_folder.h"

namespace fwlaunch::testing {

RunningProgram::RunningProgram(const std::string& program,
                               const std::vector<std::string>& arguments,
                               const ProgramOptions& options)
    : capture_(std::make_unique<ScratchFolder>()) {
  std::string out_path = (capture_->path() / "out").string();
  std::string err_path = (capture_->path() / "err").string();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  std::string terminal_name;
  if (options.controlling_terminal) {
    terminal_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal_ < 0 || grantpt(terminal_) != 0 || unlockpt(terminal_) != 0)
      throw std::runtime_error("no pseudo-terminal");
    terminal_name = ptsname(terminal_);
  }

  gid_t group = 0;
  if (options.user) {
    // Looked up before the fork: the lookup may start threads or open files of its own.
    const passwd* entry = getpwuid(*options.user);
    if (entry == nullptr) throw std::runtime_error("no such user");
    group = entry->pw_gid;
  }

  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ != 0) {
    // On both sides, so that the group exists whichever runs first.
    if (options.own_process_group) setpgid(pid_, pid_);
    return;
  }
  if (options.own_process_group) setpgid(0, 0);

  if (options.controlling_terminal) {
    // The first terminal a session leader opens becomes its controlling terminal, with the
    // program's group in the foreground.
    int terminal = setsid() < 0 ? -1 : open(terminal_name.c_str(), O_RDWR);
    if (terminal < 0 || ioctl(terminal, TIOCSCTTY, 0) != 0) _exit(126);
  }

  for (const auto& [name, value] : options.environment) {
    if (value)
      setenv(name.c_str(), value->c_str(), 1);
    else
      unsetenv(name.c_str());
  }
  int in = open(options.input_file.empty() ? "/dev/null" : options.input_file.c_str(), O_RDONLY);
  int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0 || err < 0) _exit(126);
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  if (!options.working_directory.empty() && chdir(options.working_directory.c_str()) != 0)
    _exit(126);
  if (options.file_size_limit) {
    std::signal(SIGXFSZ, options.file_size_signal_ignored ? SIG_IGN : SIG_DFL);
    rlimit limit{*options.file_size_limit, *options.file_size_limit};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
  }
  if (options.obey_file_modes && (prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) != 0 ||
                                  prctl(PR_CAPBSET_DROP, CAP_FOWNER, 0, 0, 0) != 0))
    _exit(126);
  if (options.user &&
      (setgroups(0, nullptr) != 0 || setgid(group) != 0 || setuid(*options.user) != 0))
    _exit(126);
  for (int stream : options.closed_streams) close(stream);
  execv(program.c_str(), argv.data());
  _exit(127);
}

RunningProgram::RunningProgram(RunningProgram&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      process_(std::exchange(other.process_, nullptr)),
      terminal_(std::exchange(other.terminal_, -1)),
      capture_(std::move(other.capture_)) {}

RunningProgram::~RunningProgram() {
  Terminate();
  if (terminal_ >= 0) close(terminal_);
}

void RunningProgram::Terminate() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

void RunningProgram::TypeInterrupt() const {
  const char interrupt = '\x03';  // the terminal's usual interrupt character
  if (terminal_ < 0 || write(terminal_, &interrupt, 1) != 1)
    throw std::runtime_error("no terminal to type into");
}

ProgramRun RunningProgram::Wait() {
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0)
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  pid_ = -1;
  ProgramRun run;
  run.exited = WIFEXITED(status);
  if (run.exited) run.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  run.out = ReadFile(capture_->path() / "out");
  run.err = ReadFile(capture_->path() / "err");
  return run;
}

ProgramOptions WithTemporaryFolder(const std::filesystem::path& folder) {
  ProgramOptions options;
  options.environment["TMPDIR"] = folder.string();
  return options;
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const ProgramOptions& options) {
  return RunningProgram(program, arguments, options).Wait();
}

}  // namespace fwlaunch::testing
