// The host's own process costs, printed beside the whole-run figures: a run's second process
// pays them whatever the launcher does, and they differ several times between hosts.
// Prints, in microseconds, medians of ROUNDS (default 301):
//   fork       fork + _exit + waitpid of a small process
//   fork_64mib the same from a process with 64 MiB touched (page tables to copy)
//   exec       fork + exec of /bin/true + waitpid
//   wake       one wake-up of another process (half a round trip over two pipes)
// Usage: host_costs [ROUNDS]
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Microseconds(Clock::duration elapsed) {
  return std::chrono::duration<double, std::micro>(elapsed).count();
}

template <typename Step>
double Median(int rounds, Step step) {
  std::vector<double> times;
  times.reserve(rounds);
  for (int i = 0; i < rounds; ++i) times.push_back(step());
  std::nth_element(times.begin(), times.begin() + rounds / 2, times.end());
  return times[rounds / 2];
}

bool WaitFor(pid_t child) {
  int status = 0;
  return child > 0 && waitpid(child, &status, 0) == child;
}

double ForkAndWait() {
  auto start = Clock::now();
  pid_t child = fork();
  if (child == 0) _exit(0);
  if (!WaitFor(child)) std::exit(1);
  return Microseconds(Clock::now() - start);
}

double ForkAndExecTrue() {
  auto start = Clock::now();
  pid_t child = fork();
  if (child == 0) {
    execl("/bin/true", "true", static_cast<char*>(nullptr));
    _exit(127);
  }
  if (!WaitFor(child)) std::exit(1);
  return Microseconds(Clock::now() - start);
}

// One byte to the child and back through two pipes: two wake-ups of a sleeping process.
double WakeUp(int rounds) {
  int there[2], back[2];
  if (pipe(there) != 0 || pipe(back) != 0) std::exit(1);
  pid_t child = fork();
  if (child == 0) {
    // Only the ends it uses, so that the parent's close is its end of input.
    close(there[1]);
    close(back[0]);
    char byte;
    while (read(there[0], &byte, 1) == 1 && write(back[1], &byte, 1) == 1) {
    }
    _exit(0);
  }
  close(there[0]);
  close(back[1]);
  double median = Median(rounds, [&] {
    char byte = 'x';
    auto start = Clock::now();
    if (write(there[1], &byte, 1) != 1 || read(back[0], &byte, 1) != 1) std::exit(1);
    return Microseconds(Clock::now() - start) / 2;
  });
  close(there[1]);
  close(back[0]);
  WaitFor(child);
  return median;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 301;
  if (rounds < 1) {
    std::fprintf(stderr, "usage: host_costs [ROUNDS]\n");
    return 2;
  }
  double fork_small = Median(rounds, ForkAndWait);
  double exec_true = Median(rounds, ForkAndExecTrue);
  double wake = WakeUp(rounds);
  constexpr size_t kTouched = 64u << 20;
  void* memory =
      mmap(nullptr, kTouched, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return 1;
  std::memset(memory, 1, kTouched);
  double fork_large = Median(rounds, ForkAndWait);
  munmap(memory, kTouched);
  std::printf("fork %.0f fork_64mib %.0f exec %.0f wake %.1f\n", fork_small, fork_large, exec_true,
              wake);
  return 0;
}
