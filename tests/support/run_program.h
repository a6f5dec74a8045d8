// Runs a program in a test, with standard output and error captured; one interface, with an
// implementation per system (posix/, windows/).
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fwlaunch::testing {

class ScratchFolder;

struct ProgramRun {
  bool exited = false;
  // When exited: what the system keeps of the status (Linux its low 8 bits, Windows all 32,
  // so that -1 reads as 255 on one and -1 on the other).
  int exit_status = -1;
  int signal = 0;  // when ended by a signal (Linux)
  std::string out;
  std::string err;
};

struct ProgramOptions {
  // Variables to set; a variable mapped to nothing is removed.
  std::map<std::string, std::optional<std::string>> environment;
  std::string working_directory;  // empty: the test's own
  // Windows: the arguments, the environment and the working directory are UTF-8, handed over in
  // full (elsewhere, and without it, they are the system's narrow text).
  bool utf8_text = false;
  // The rest are Linux's alone.
  // The largest file the program may write; with SIGXFSZ ignored (writes past it fail) unless
  // told to leave the signal at its default, as a shell's "ulimit -f" does.
  std::optional<std::uint64_t> file_size_limit;
  bool file_size_signal_ignored = true;
  // A file the program reads as its standard input (empty: the null device).
  std::string input_file;
  // Standard streams (0, 1, 2) the program starts with closed.
  std::vector<int> closed_streams;
  // Makes file modes bind even root: the program loses the power to override them.
  bool obey_file_modes = false;
  // Starts the program in a session of its own whose controlling terminal is a pseudo-terminal
  // the test types into (RunningProgram::TypeInterrupt), as a user at a terminal would.
  bool controlling_terminal = false;
  // Starts the program as the leader of a process group of its own, for a test to signal the
  // group as a supervisor would (kill -INT -PGID).
  bool own_process_group = false;
  // Runs the program as this user, with the user's own group and no other (the test runs as
  // root).
  std::optional<unsigned> user;
};

// Options that point the temporary folder (and so the launcher's working folder) there: TMPDIR
// on Linux, TMP and TEMP on Windows.
ProgramOptions WithTemporaryFolder(const std::filesystem::path& folder);

// A program started and not yet waited for.
class RunningProgram {
 public:
  RunningProgram(const std::string& program, const std::vector<std::string>& arguments,
                 const ProgramOptions& options);
  RunningProgram(RunningProgram&&) noexcept;
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;
  ~RunningProgram();

  int pid() const { return pid_; }
  ProgramRun Wait();
  // Ends the program at once (SIGKILL, TerminateProcess) and waits until it has ended.
  void Terminate();
  // Ctrl-C at the program's terminal (controlling_terminal): the terminal sends the interrupt
  // to every process of the foreground group.
  void TypeInterrupt() const;

 private:
  int pid_ = -1;
  void* process_ = nullptr;  // Windows: the process's handle
  int terminal_ = -1;        // Linux: the pseudo-terminal's controlling side
  std::unique_ptr<ScratchFolder> capture_;
};

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const ProgramOptions& options = {});

}  // namespace fwlaunch::testing
