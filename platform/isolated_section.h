// Runs the launcher's guarded section in a process of its own, so that a crash there leaves
// the launcher free to report it and clean up.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace fwlaunch::platform {

enum class SectionEnd {
  // The section returned; SectionOutcome::status holds its integer.
  kReturned,
  // A fault, or something the launcher did not ask for, ended the section's process.
  kCrashed,
  // A request ended it: a keyboard interrupt, or a termination passed on from the launcher.
  kInterrupted,
};

class SectionOutcome;

// Ends this process the way the request that interrupted the section would have ended it;
// never returns. For an outcome that is not kInterrupted it ends the process with status 255.
[[noreturn]] void EndAsRequested(const SectionOutcome& outcome);

class SectionOutcome {
 public:
  // What ended an interrupted section, as each system says it (platform/posix/,
  // platform/windows/).
  struct Request;

  SectionOutcome(SectionEnd end, int status) : end_(end), status_(status) {}
  // An interrupted section's outcome.
  explicit SectionOutcome(std::shared_ptr<const Request> request)
      : end_(SectionEnd::kInterrupted), status_(-1), request_(std::move(request)) {}

  SectionEnd end() const { return end_; }
  // The section's integer, as the system passes an exit status on, when it returned.
  int status() const { return status_; }

 private:
  friend void EndAsRequested(const SectionOutcome& outcome);
  SectionEnd end_;
  int status_;
  // Shared, so that it may stay incomplete here.
  std::shared_ptr<const Request> request_;
};

// Runs section in a child process and waits for it. While it waits, the keyboard's
// interrupt reaches the section rather than this process, and requests to end the run that
// this process receives are passed on to the section. Nothing when no process could be
// started.
//
// Where the system cannot copy a running process (Windows), the child is this program started
// again with the same command line: it finds itself a section's process (IsSectionProcess) and
// runs the section with RunAsSection instead of the run around it.
std::optional<SectionOutcome> RunIsolated(const std::function<int()>& section);

// Whether this process was started by RunIsolated to run a section; never where the section's
// process is a copy of the launcher's (Linux).
bool IsSectionProcess();

// In a section's process: runs the section, hands its result to the process that started this
// one, and ends this process.
[[noreturn]] void RunAsSection(const std::function<int()>& section);

// In a section's process, once the interpreter has taken the keyboard's interrupt: an
// interrupt that reached this process both directly and passed on by the launcher (sent to
// the process group, or to each of the run's processes) raises once. Nothing to do where the
// launcher passes none on (Windows).
void KeepOneInterruptOfEachPair();

}  // namespace fwlaunch::platform
