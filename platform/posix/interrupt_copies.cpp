#include "platform/posix/interrupt_copies.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/isolated_section.h"

namespace fwlaunch::platform {

namespace {

// How many more direct interrupts than copies one sender's have been (negative: more copies).
struct SenderBalance {
  std::atomic<long> key{0};  // the sender's pid + 1; 0 while the slot is free
  std::atomic<int> balance{0};
};

// What a signal handler needs can only be reached through static storage. It is written
// before the handlers that read it are installed, and then only with lock-free atomics, which
// are safe in a handler.
struct PairingState {
  SenderBalance senders[64];
  struct sigaction interpreter_action = {};
  // Set once pairing began: a copy that comes late, after the interpreter has put back the
  // default (its shutdown), is still the second of its pair and must not end the process.
  std::atomic<bool> began{false};
};
PairingState pairing;

// The sender's balance; nothing when more senders than the table holds have been seen, and
// then every interrupt is handed on.
std::atomic<int>* BalanceOf(pid_t sender) {
  long key = static_cast<long>(sender) + 1;
  for (SenderBalance& slot : pairing.senders) {
    long found = slot.key.load();
    if (found == 0 && slot.key.compare_exchange_strong(found, key)) return &slot.balance;
    if (found == key) return &slot.balance;
  }
  return nullptr;
}

// Acts as the disposition would on SIGINT.
void Dispatch(const struct sigaction& action, siginfo_t* info, void* context) {
  if (action.sa_flags & SA_SIGINFO) {
    action.sa_sigaction(SIGINT, info, context);
  } else if (action.sa_handler == SIG_DFL) {
    signal(SIGINT, SIG_DFL);
    sigset_t interrupt;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    sigprocmask(SIG_UNBLOCK, &interrupt, nullptr);
    raise(SIGINT);
  } else if (action.sa_handler != SIG_IGN) {
    action.sa_handler(SIGINT);
  }
}

// SIGINT while pairing: a sender's interrupt is handed on unless it is the second of a pair.
// The terminal's (sent by the kernel) is never passed on by the launcher, so never paired.
void OnDirectInterrupt(int, siginfo_t* info, void* context) {
  int saved_errno = errno;
  bool first = true;
  if (info->si_code <= 0) {
    if (std::atomic<int>* balance = BalanceOf(info->si_pid)) first = balance->fetch_add(1) >= 0;
  }
  if (first) Dispatch(pairing.interpreter_action, info, context);
  errno = saved_errno;
}

void OnInterruptCopy(int, siginfo_t* info, void* context) {
  int saved_errno = errno;
  // Only the launcher's copies count; the signal from anyone else is not an interrupt.
  if (info->si_code == SI_QUEUE && info->si_pid == getppid()) {
    bool first = true;
    if (pairing.began) {
      if (std::atomic<int>* balance = BalanceOf(info->si_value.sival_int))
        first = balance->fetch_sub(1) <= 0;
    }
    struct sigaction current;
    sigaction(SIGINT, nullptr, &current);
    bool paired = (current.sa_flags & SA_SIGINFO) && current.sa_sigaction == OnDirectInterrupt;
    if (first) Dispatch(paired ? pairing.interpreter_action : current, info, context);
  }
  errno = saved_errno;
}

}  // namespace

// Near the top of the real-time range, which the C library and the interpreter leave alone.
int InterruptCopySignal() { return SIGRTMAX - 1; }

void PassOnInterrupt(pid_t section, pid_t sender) {
  union sigval value;
  value.sival_int = sender;
  sigqueue(section, InterruptCopySignal(), value);
}

void ReceiveInterruptCopies() {
  struct sigaction copy = {};
  copy.sa_sigaction = OnInterruptCopy;
  // Not restarted, as the interpreter's own handler is not: a sleep must wake to raise.
  copy.sa_flags = SA_SIGINFO;
  sigemptyset(&copy.sa_mask);
  sigaddset(&copy.sa_mask, SIGINT);
  sigaction(InterruptCopySignal(), &copy, nullptr);
}

void KeepOneInterruptOfEachPair() {
  struct sigaction interpreter;
  if (sigaction(SIGINT, nullptr, &interpreter) != 0) return;
  // An ignored interrupt needs no pairing, and the first of a default one ends the process.
  if (!(interpreter.sa_flags & SA_SIGINFO) &&
      (interpreter.sa_handler == SIG_DFL || interpreter.sa_handler == SIG_IGN))
    return;
  pairing.interpreter_action = interpreter;
  pairing.began = true;
  struct sigaction direct = interpreter;
  direct.sa_sigaction = OnDirectInterrupt;
  direct.sa_flags = interpreter.sa_flags | SA_SIGINFO;
  sigaddset(&direct.sa_mask, InterruptCopySignal());
  sigaction(SIGINT, &direct, nullptr);
}

}  // namespace fwlaunch::platform
