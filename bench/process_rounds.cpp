// Times commands against each other in the same rounds, so that the machine's drift falls on
// each alike: each round runs every command once, in turn, and each series is that many
// rounds. Prints, for each command, the median wall time (µs) and the median peak resident
// memory of its largest process (KiB) over every round, and for each command after the first,
// the rounds' own ratios of the first command's time to its time: their median in each series,
// and first the median of those:
//   command INDEX MEDIAN_US MEDIAN_KIB
//   ratio INDEX MEDIAN SERIES_1 SERIES_2 ...
// With --reported, a command's figure is the number it prints on its standard output (µs)
// instead of its wall time. With --fresh FOLDER, the folder is emptied before each command,
// outside the timing.
// Usage: process_rounds [--rounds N] [--series S] [--fresh FOLDER] [--reported]
//          -- COMMAND [ARGUMENT...] [-- COMMAND [ARGUMENT...]]...
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Options {
  int rounds = 15;
  int series = 1;
  std::string fresh;
  bool reported = false;
  std::vector<std::vector<char*>> commands;  // each ends in a null pointer
};

struct Sample {
  double micros;
  long kib;
};

[[noreturn]] void Usage() {
  std::fprintf(stderr,
               "usage: process_rounds [--rounds N] [--series S] [--fresh FOLDER] [--reported]\n"
               "         -- COMMAND [ARGUMENT...] [-- COMMAND [ARGUMENT...]]...\n");
  std::exit(2);
}

int PositiveNumber(const char* text) {
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > 100000) Usage();
  return static_cast<int>(value);
}

Options ReadOptions(int argc, char** argv) {
  Options options;
  int i = 1;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    std::string option = argv[i];
    bool has_value = i + 1 < argc;
    if (option == "--rounds" && has_value)
      options.rounds = PositiveNumber(argv[++i]);
    else if (option == "--series" && has_value)
      options.series = PositiveNumber(argv[++i]);
    else if (option == "--fresh" && has_value)
      options.fresh = argv[++i];
    else if (option == "--reported")
      options.reported = true;
    else
      Usage();
  }
  for (; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) {
      if (!options.commands.empty()) options.commands.back().push_back(nullptr);
      options.commands.emplace_back();
    } else {
      options.commands.back().push_back(argv[i]);
    }
  }
  if (options.commands.empty()) Usage();
  options.commands.back().push_back(nullptr);
  for (const std::vector<char*>& command : options.commands)
    if (command.size() < 2) Usage();
  return options;
}

// The peak resident memory of the largest child waited for so far: the system keeps only the
// largest, so each command is measured in a process of its own (RunOnce forks it).
long PeakKib() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_maxrss;
}

// Runs the command once; what it reports on standard output is read when asked for.
std::optional<Sample> RunOnce(std::vector<char*>& command, bool reported) {
  int output[2] = {-1, -1};
  if (reported && pipe(output) != 0) return std::nullopt;
  auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    if (reported) {
      dup2(output[1], 1);
      close(output[0]);
      close(output[1]);
    }
    execvp(command[0], command.data());
    _exit(127);
  }
  std::string printed;
  if (reported) {
    close(output[1]);
    char buffer[256];
    ssize_t got;
    while ((got = read(output[0], buffer, sizeof buffer)) > 0)
      printed.append(buffer, static_cast<std::size_t>(got));
    close(output[0]);
  }
  int status = 0;
  waitpid(child, &status, 0);
  auto elapsed = std::chrono::steady_clock::now() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "process_rounds: %s failed (status %d)\n", command[0], status);
    return std::nullopt;
  }
  double micros = std::chrono::duration<double, std::micro>(elapsed).count();
  if (reported) micros = std::strtod(printed.c_str(), nullptr);
  return Sample{micros, 0};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[(values.size() - 1) / 2];
}

}  // namespace

int main(int argc, char** argv) {
  Options options = ReadOptions(argc, argv);
  std::size_t count = options.commands.size();
  // samples[command][series * rounds + round]
  std::vector<std::vector<Sample>> samples(count);
  for (int series = 0; series < options.series; ++series) {
    for (int round = 0; round < options.rounds; ++round) {
      for (std::size_t i = 0; i < count; ++i) {
        if (!options.fresh.empty()) {
          std::filesystem::remove_all(options.fresh);
          std::filesystem::create_directories(options.fresh);
        }
        // Each command in a process of its own, so that its peak memory is its own.
        int report[2];
        if (pipe(report) != 0) return 1;
        pid_t measurer = fork();
        if (measurer < 0) return 1;
        if (measurer == 0) {
          close(report[0]);
          std::optional<Sample> sample = RunOnce(options.commands[i], options.reported);
          if (!sample) _exit(1);
          sample->kib = PeakKib();
          if (write(report[1], &*sample, sizeof *sample) != sizeof *sample) _exit(1);
          _exit(0);
        }
        close(report[1]);
        Sample sample{};
        bool got = read(report[0], &sample, sizeof sample) == sizeof sample;
        close(report[0]);
        int status = 0;
        waitpid(measurer, &status, 0);
        if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
        samples[i].push_back(sample);
      }
    }
  }

  for (std::size_t i = 0; i < count; ++i) {
    std::vector<double> micros, kibs;
    for (const Sample& sample : samples[i]) {
      micros.push_back(sample.micros);
      kibs.push_back(static_cast<double>(sample.kib));
    }
    std::printf("command %zu %.0f %.0f\n", i, Median(micros), Median(kibs));
  }
  for (std::size_t j = 1; j < count; ++j) {
    std::vector<double> per_series;
    for (int series = 0; series < options.series; ++series) {
      std::vector<double> ratios;
      for (int round = 0; round < options.rounds; ++round) {
        std::size_t at = static_cast<std::size_t>(series * options.rounds + round);
        ratios.push_back(samples[0][at].micros / samples[j][at].micros);
      }
      per_series.push_back(Median(ratios));
    }
    std::printf("ratio %zu %.4f", j, Median(per_series));
    for (double ratio : per_series) std::printf(" %.4f", ratio);
    std::printf("\n");
  }
  return 0;
}
