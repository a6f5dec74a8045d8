#include "platform/isolated_section.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include "platform/posix/end_requests.h"
#include "platform/posix/interrupt_copies.h"

namespace fwlaunch::platform {

// The signal that ended the section, which the launcher ends by in turn.
struct SectionOutcome::Request {
  explicit Request(int signal) : signal(signal) {}
  int signal;
};

namespace {

// For its lifetime: SIGQUIT ignored, as a shell does while a command runs; SIGCHLD at its
// default, so the child can be waited for whatever this process inherited; SIGINT, the
// forwarded signals and SIGCHLD blocked, to be taken with sigwaitinfo.
class WaitingSignals {
 public:
  WaitingSignals() {
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGQUIT, &ignore, &saved_quit_);
    struct sigaction default_action = {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    sigaction(SIGCHLD, &default_action, &saved_child_);
    // Taken rather than ignored, so that an interrupt sent to this process alone can be
    // passed on (ForwardsInterrupt).
    sigaction(SIGINT, &default_action, &saved_interrupt_);

    sigemptyset(&awaited_);
    sigaddset(&awaited_, SIGCHLD);
    for (int signal : kEndRequests) sigaddset(&awaited_, signal);
    // The interrupt's copy waits, too, until the child has a handler for it.
    sigset_t blocked = awaited_;
    sigaddset(&blocked, InterruptCopySignal());
    sigprocmask(SIG_BLOCK, &blocked, &saved_mask_);
  }
  WaitingSignals(const WaitingSignals&) = delete;
  WaitingSignals& operator=(const WaitingSignals&) = delete;
  ~WaitingSignals() { Restore(); }

  // Puts back what this process had; the child does it first thing.
  void Restore() const {
    sigaction(SIGINT, &saved_interrupt_, nullptr);
    sigaction(SIGQUIT, &saved_quit_, nullptr);
    sigaction(SIGCHLD, &saved_child_, nullptr);
    sigprocmask(SIG_SETMASK, &saved_mask_, nullptr);
  }

  // In the child: the requests to end reach the script, even where the launcher holds them
  // around the run (request_hold.h).
  void RestoreForSection() const {
    Restore();
    sigset_t requests;
    sigemptyset(&requests);
    for (int signal : kEndRequests) sigaddset(&requests, signal);
    sigprocmask(SIG_UNBLOCK, &requests, nullptr);
  }

  const sigset_t& awaited() const { return awaited_; }

 private:
  struct sigaction saved_interrupt_ = {};
  struct sigaction saved_quit_ = {};
  struct sigaction saved_child_ = {};
  sigset_t saved_mask_;
  sigset_t awaited_;
};

// A keyboard's interrupt reaches the whole foreground process group, the section's process
// too, and is not passed on again; one that a process sent (kill, a supervisor) is, so that it
// reaches the script whichever process it was sent to. Such a process may have sent it to the
// section's process as well: the copy lets that process keep one (interrupt_copies.h).
bool ForwardsInterrupt(const siginfo_t& info) { return info.si_code <= 0; }

// In the section's process: it ends when the launcher ends, whatever ends the launcher.
void DieWithParent(pid_t parent) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  // The launcher may have ended between the fork and the line above, too early to be seen.
  if (getppid() != parent) _exit(255);
}

// The child's end as the launcher sees it: a signal it passed on, or a keyboard interrupt or
// quit (which a terminal sends to the child directly), is a request; any other signal a crash.
SectionOutcome Classify(int status, int forwarded_signal) {
  if (!WIFSIGNALED(status)) return SectionOutcome(SectionEnd::kReturned, WEXITSTATUS(status));
  int signal = WTERMSIG(status);
  bool requested = signal == forwarded_signal || signal == SIGINT || signal == SIGQUIT;
  if (!requested) return SectionOutcome(SectionEnd::kCrashed, -1);
  return SectionOutcome(std::make_shared<const SectionOutcome::Request>(signal));
}

}  // namespace

// Forked rather than started afresh: a fork costs a tenth of a millisecond, while a new
// program would have to load the interpreter's library again.
std::optional<SectionOutcome> RunIsolated(const std::function<int()>& section) {
  // Whatever is buffered now must be written once, not once per process.
  std::fflush(stdout);
  std::fflush(stderr);

  WaitingSignals signals;
  pid_t parent = getpid();
  pid_t child = fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    DieWithParent(parent);
    ReceiveInterruptCopies();
    signals.RestoreForSection();
    int status = section();
    std::fflush(stdout);
    std::fflush(stderr);
    // The parent owns everything else that was set up before the fork.
    _exit(status);
  }

  int status = 0;
  int forwarded_signal = 0;
  for (;;) {
    siginfo_t info;
    if (sigwaitinfo(&signals.awaited(), &info) < 0) {
      if (errno == EINTR) continue;
      // Cannot happen with a valid set; wait plainly rather than lose the child.
      while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return std::nullopt;
      }
      break;
    }
    if (info.si_signo == SIGINT) {
      if (ForwardsInterrupt(info)) PassOnInterrupt(child, info.si_pid);
      continue;
    }
    if (info.si_signo != SIGCHLD) {
      kill(child, info.si_signo);
      forwarded_signal = info.si_signo;
      continue;
    }
    pid_t ended = waitpid(child, &status, WNOHANG);
    if (ended == child) break;
    if (ended < 0 && errno != EINTR) return std::nullopt;
  }
  return Classify(status, forwarded_signal);
}

// The section's process is a copy of the launcher's, which runs the section itself.
bool IsSectionProcess() { return false; }

void RunAsSection(const std::function<int()>& section) { _exit(section()); }

void EndAsRequested(const SectionOutcome& outcome) {
  std::fflush(stdout);
  std::fflush(stderr);
  if (outcome.end() != SectionEnd::kInterrupted) _exit(255);
  int signal = outcome.request_->signal;
  struct sigaction default_action = {};
  default_action.sa_handler = SIG_DFL;
  sigemptyset(&default_action.sa_mask);
  sigaction(signal, &default_action, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);
  _exit(128 + signal);  // a signal whose default is not to end the process
}

}  // namespace fwlaunch::platform
