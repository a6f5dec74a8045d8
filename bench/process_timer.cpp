// Runs a command once and prints its wall time in microseconds and the peak resident memory
// of its largest process in KiB: "<microseconds> <kib> <exit status>".
// Usage: process_timer COMMAND [ARGUMENT...]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: process_timer COMMAND [ARGUMENT...]\n");
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child < 0) return 1;
  if (child == 0) {
    execvp(argv[1], argv + 1);
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  auto elapsed = std::chrono::steady_clock::now() - start;
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  std::printf("%lld %ld %d\n",
              static_cast<long long>(
                  std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count()),
              usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  return 0;
}
