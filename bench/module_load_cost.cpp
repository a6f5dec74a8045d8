// What loading the interpreter costs the script's process, and what one object instead of two
// or lazy binding could save of it: each round forks a child that loads one of the objects
// (or nothing) as the launcher's child does, exits, and is waited for; the kinds alternate
// within a round, so that the machine's drift falls on each alike. Prints on one line, in
// microseconds, the median of ROUNDS (default 401) after each kind's name:
//   fork          fork + _exit + waitpid, nothing loaded
//   module_now    the interpreter module (which brings libpython) bound at load, as fwlaunch does
//   module_lazy   the same bound lazily
//   library_now   libpython alone, bound at load: the floor of any single object holding it
// Usage: module_load_cost MODULE LIBPYTHON [ROUNDS]
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Kind {
  const char* name;
  const char* path;  // nullptr: nothing loaded
  int flags;
};

// One child's life; the child exits 1 if the object did not load, which ends the measurement.
double LoadInChild(const Kind& kind) {
  auto start = Clock::now();
  pid_t child = fork();
  if (child == 0) {
    if (kind.path != nullptr && dlopen(kind.path, kind.flags | RTLD_GLOBAL) == nullptr) _exit(1);
    _exit(0);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "module_load_cost: %s: %s did not load in a child\n", kind.name,
                 kind.path);
    std::exit(1);
  }
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

double Median(std::vector<double>& times) {
  auto middle = times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2);
  std::nth_element(times.begin(), middle, times.end());
  return *middle;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: module_load_cost MODULE LIBPYTHON [ROUNDS]\n");
    return 2;
  }
  int rounds = argc > 3 ? std::atoi(argv[3]) : 401;
  if (rounds < 1) {
    std::fprintf(stderr, "module_load_cost: ROUNDS must be a positive number\n");
    return 2;
  }
  const std::array<Kind, 4> kinds{{{"fork", nullptr, 0},
                                   {"module_now", argv[1], RTLD_NOW},
                                   {"module_lazy", argv[1], RTLD_LAZY},
                                   {"library_now", argv[2], RTLD_NOW}}};
  std::array<std::vector<double>, kinds.size()> times;
  for (int round = 0; round < rounds; ++round)
    for (size_t k = 0; k < kinds.size(); ++k) times[k].push_back(LoadInChild(kinds[k]));
  for (size_t k = 0; k < kinds.size(); ++k)
    std::printf("%s %.0f%c", kinds[k].name, Median(times[k]), k + 1 < kinds.size() ? ' ' : '\n');
  return 0;
}
