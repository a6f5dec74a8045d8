// Windows cannot copy a running process, so the section's process is this program started
// again with the same command line. The parent starts it suspended, duplicates the write end
// of a pipe into it and leaves that handle's value in a small shared mapping named after the
// child's process id; the child finds the mapping (IsSectionProcess), runs the section
// there and writes the section's 32-bit result into the pipe. Only the pipe carries the result:
// a script may return any integer, including one that looks like a crash code.
#include "platform/isolated_section.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace fwlaunch::platform {

// The interrupted section's exit code, which the launcher ends with in turn.
struct SectionOutcome::Request {
  explicit Request(DWORD exit_code) : exit_code(exit_code) {}
  DWORD exit_code;
};

namespace {

constexpr char kChannelPrefix[] = "Local\\fwlaunch-section-";
// Set in the environment a section's process starts with, so that it knows itself one even if
// its channel cannot be opened: it then ends rather than run, and start, a launcher of its own.
constexpr wchar_t kSectionMarker[] = L"FWLAUNCH_SECTION_PROCESS";
constexpr wchar_t kSectionMarkerRemoved[] = L"FWLAUNCH_SECTION_PROCESS=";
// Exception codes (access violation 0xC0000005 and the like) all lie at or above this.
constexpr DWORD kErrorSeverity = 0xC0000000;

std::string ChannelName(DWORD process_id) {
  return kChannelPrefix + std::to_string(static_cast<unsigned long>(process_id));
}

// The pipe handle the parent left for this process, when this process is a section's.
HANDLE ParentChannel() {
  HANDLE mapping =
      OpenFileMappingA(FILE_MAP_READ, FALSE, ChannelName(GetCurrentProcessId()).c_str());
  if (mapping == nullptr) return nullptr;
  HANDLE pipe = nullptr;
  if (void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(std::uint64_t))) {
    std::uint64_t value = *static_cast<const volatile std::uint64_t*>(view);
    pipe = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
  return pipe;
}

// A fault nobody handled ends the section's process with the fault's code, quietly: no
// debugger, no dialog. The launcher sees that no result came and reports the crash.
LONG WINAPI EndQuietly(EXCEPTION_POINTERS* fault) {
  TerminateProcess(GetCurrentProcess(), fault->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

[[noreturn]] void RunWithChannel(HANDLE pipe, const std::function<int()>& section) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(EndQuietly);
  std::int32_t result = section();
  std::fflush(stdout);
  std::fflush(stderr);
  DWORD written = 0;
  WriteFile(pipe, &result, sizeof result, &written, nullptr);
  CloseHandle(pipe);
  ExitProcess(static_cast<UINT>(result));
}

// The keyboard's Ctrl-C and Ctrl-Break reach every process on the console; the launcher leaves
// them to the section, whose handling decides the outcome.
BOOL WINAPI IgnoreControl(DWORD) { return TRUE; }

class ControlIgnored {
 public:
  ControlIgnored() { SetConsoleCtrlHandler(IgnoreControl, TRUE); }
  ControlIgnored(const ControlIgnored&) = delete;
  ControlIgnored& operator=(const ControlIgnored&) = delete;
  ~ControlIgnored() { SetConsoleCtrlHandler(IgnoreControl, FALSE); }
};

class Handle {
 public:
  explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
  Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  HANDLE get() const { return handle_; }
  HANDLE* out() { return &handle_; }

 private:
  HANDLE handle_;
};

// A job that ends the section's process when the launcher's handle to it closes, as it does
// however the launcher ends. What the section starts stays out of the job: it was never the
// launcher's to end, and a run started from the script makes a job of its own.
HANDLE JobEndingWithThisProcess() {
  HANDLE job = CreateJobObjectA(nullptr, nullptr);
  if (job == nullptr) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags =
      JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    CloseHandle(job);
    return nullptr;
  }
  return job;
}

// This program started again, suspended, with its own command line in full: the narrow forms
// lose every character the code page lacks, and the section's process reads its arguments
// from its command line. Handles are inherited as usual (the standard streams).
bool StartSuspendedCopy(PROCESS_INFORMATION* started) {
  std::vector<wchar_t> program(32768, L'\0');
  DWORD length = GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
  if (length == 0 || length >= program.size()) return false;
  std::wstring command_line = GetCommandLineW();
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  SetEnvironmentVariableW(kSectionMarker, L"1");
  bool created = CreateProcessW(program.data(), command_line.data(), nullptr, nullptr, TRUE,
                                CREATE_SUSPENDED, nullptr, nullptr, &startup, started) != 0;
  SetEnvironmentVariableW(kSectionMarker, nullptr);
  return created;
}

// Hands the pipe's write end to the suspended section's process on its own, through the
// channel named for that process, where it looks when it starts: the channel returned must be
// held until that process ends, or the name is gone before it looks, and it would take itself
// for a run of its own. Null when the pipe could not be handed over.
Handle HandOverPipe(HANDLE process, DWORD process_id, HANDLE write_end) {
  HANDLE child_pipe = nullptr;
  Handle channel(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                    sizeof(std::uint64_t), ChannelName(process_id).c_str()));
  void* view = channel.get() != nullptr
                   ? MapViewOfFile(channel.get(), FILE_MAP_WRITE, 0, 0, sizeof(std::uint64_t))
                   : nullptr;
  bool handed = view != nullptr && DuplicateHandle(GetCurrentProcess(), write_end, process,
                                                   &child_pipe, 0, FALSE, DUPLICATE_SAME_ACCESS);
  if (view != nullptr) {
    *static_cast<volatile std::uint64_t*>(view) = reinterpret_cast<std::uintptr_t>(child_pipe);
    UnmapViewOfFile(view);
  }
  return handed ? std::move(channel) : Handle();
}

// How the section's process ended. The result is in the pipe when the section returned; a
// background process the script left may still hold the pipe, so its end is not waited for.
SectionOutcome OutcomeOf(HANDLE read_end, DWORD exit_code) {
  std::int32_t result = 0;
  DWORD available = 0, read = 0;
  if (PeekNamedPipe(read_end, nullptr, 0, nullptr, &available, nullptr) &&
      available >= sizeof result && ReadFile(read_end, &result, sizeof result, &read, nullptr) &&
      read == sizeof result)
    return SectionOutcome(SectionEnd::kReturned, result);
  if (exit_code == static_cast<DWORD>(STATUS_CONTROL_C_EXIT))
    return SectionOutcome(std::make_shared<const SectionOutcome::Request>(exit_code));
  // Without a result the process ended itself early (os._exit in a script) with its own status,
  // or a fault ended it, whose codes all carry the error severity.
  if (exit_code < kErrorSeverity)
    return SectionOutcome(SectionEnd::kReturned, static_cast<int>(exit_code));
  return SectionOutcome(SectionEnd::kCrashed, -1);
}

std::optional<SectionOutcome> RunChild() {
  Handle read_end, write_end;
  if (!CreatePipe(read_end.out(), write_end.out(), nullptr, sizeof(std::int32_t) * 4))
    return std::nullopt;
  PROCESS_INFORMATION started = {};
  if (!StartSuspendedCopy(&started)) return std::nullopt;
  Handle process(started.hProcess), thread(started.hThread);
  // Where the system refuses a job (an older one, inside a job that allows none), the section
  // runs without: it then outlives a launcher that is killed, as it always did there.
  Handle job(JobEndingWithThisProcess());
  if (job.get() != nullptr) AssignProcessToJobObject(job.get(), process.get());
  Handle channel = HandOverPipe(process.get(), started.dwProcessId, write_end.get());
  if (channel.get() == nullptr) {
    TerminateProcess(process.get(), 255);
    return std::nullopt;
  }

  ControlIgnored control;
  ResumeThread(thread.get());
  WaitForSingleObject(process.get(), INFINITE);
  DWORD exit_code = 255;
  GetExitCodeProcess(process.get(), &exit_code);
  return OutcomeOf(read_end.get(), exit_code);
}

}  // namespace

bool IsSectionProcess() {
  // Taken out at once: a run the script starts is a run of its own.
  // From the C library's copy as well, which the interpreter's os.environ is made from.
  bool marked = GetEnvironmentVariableW(kSectionMarker, nullptr, 0) != 0;
  _wputenv(kSectionMarkerRemoved);
  return marked || ParentChannel() != nullptr;
}

// A console's Ctrl-C reaches each process attached to it once, and the launcher passes none on.
void KeepOneInterruptOfEachPair() {}

void RunAsSection(const std::function<int()>& section) {
  HANDLE pipe = ParentChannel();
  if (pipe == nullptr) ExitProcess(255);  // no parent to hand a result to
  RunWithChannel(pipe, section);
}

std::optional<SectionOutcome> RunIsolated(const std::function<int()>& section) {
  (void)section;  // run by the child itself, through RunAsSection
  // Whatever is buffered now must be written once, not once per process.
  std::fflush(stdout);
  std::fflush(stderr);
  return RunChild();
}

void EndAsRequested(const SectionOutcome& outcome) {
  std::fflush(stdout);
  std::fflush(stderr);
  UINT code = outcome.end() == SectionEnd::kInterrupted ? outcome.request_->exit_code : 255;
  ExitProcess(code);
}

}  // namespace fwlaunch::platform
