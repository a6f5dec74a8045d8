// Extraction alone: ExtractScripts with a library that serves the module set from memory,
// against the floor, a plain loop writing the same bytes to as many files in a fresh folder.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_modules.h"
#include "extract/extract_scripts.h"
#include "platform/zeroed_pages.h"

namespace {

namespace fs = std::filesystem;
using namespace fwlaunch;

fs::path BenchRoot() {
  if (const char* chosen = std::getenv("FWLAUNCH_BENCH_DIR")) return chosen;
  return fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
}

// A fresh, empty folder for every iteration, made and removed outside the timing.
class FreshFolders {
 public:
  // In memory when the machine has a tmpfs there, so disk writeback does not drown the
  // difference between the two.
  FreshFolders() : root_(BenchRoot() / ("fwlaunch-bench-" + std::to_string(getpid()))) {
    fs::create_directories(root_);
  }
  ~FreshFolders() { fs::remove_all(root_); }
  // A fresh folder, made and the previous one removed outside the timing.
  std::string Next(benchmark::State& state) {
    state.PauseTiming();
    std::string folder = Make();
    state.ResumeTiming();
    return folder;
  }
  const fs::path& root() const { return root_; }

 private:
  std::string Make() {
    fs::remove_all(current_);
    current_ = root_ / std::to_string(count_++);
    fs::create_directories(current_);
    return current_.string() + "/";
  }

  fs::path root_, current_;
  int count_ = 0;
};

void BM_ExtractScripts(benchmark::State& state) {
  FreshFolders folders;
  fs::path library = folders.root() / "Script.dll";
  fs::copy_file(FWLAUNCH_BENCH_LIBRARY, library);
  // Held open here so that the library builds its modules once, before the timing, and stays
  // loaded while ExtractScripts loads and unloads it.
  void* held = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  auto query =
      reinterpret_cast<int (*)(const char*, const char*, char*)>(dlsym(held, "Py_QueryCfg"));
  char list[kScriptListSize];
  if (query == nullptr || query("0", kScriptListKey, list) <= 0) state.SkipWithError("library");
  for (auto _ : state) {
    std::string folder = folders.Next(state);
    for (int batch = 0; batch < bench::kBatches; ++batch)
      ExtractScripts(library.string(), folder, std::to_string(batch));
  }
  dlclose(held);
}

using Files = std::vector<std::pair<std::string, std::vector<unsigned char>>>;

// The module set in memory, batch by batch.
std::vector<Files> BatchFiles() {
  std::vector<Files> batches(bench::kBatches);
  for (int batch = 0; batch < bench::kBatches; ++batch) {
    for (const bench::BenchModule& module : bench::BatchModules(batch)) {
      batches[batch].emplace_back(module.name, std::vector<unsigned char>(module.size));
      bench::FillModule(module, batches[batch].back().second.data());
    }
  }
  return batches;
}

bool WriteWhole(const std::string& path, const unsigned char* bytes, std::size_t size) {
  int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  bool written = write(descriptor, bytes, size) == static_cast<ssize_t>(size);
  close(descriptor);
  return written;
}

// The floor: the same bytes written to as many files, straight from memory.
void BM_WriteFilesFloor(benchmark::State& state) {
  FreshFolders folders;
  std::vector<Files> batches = BatchFiles();
  for (auto _ : state) {
    std::string folder = folders.Next(state);
    for (const Files& files : batches)
      for (const auto& [name, bytes] : files)
        if (!WriteWhole(folder + name, bytes.data(), bytes.size())) state.SkipWithError("write");
  }
}

// What the library interface itself demands on top of the floor: each call's transfer buffer
// taken fresh from the system, and every module copied into it before it is written.
void BM_TransferFloor(benchmark::State& state) {
  FreshFolders folders;
  std::vector<Files> batches = BatchFiles();
  for (auto _ : state) {
    std::string folder = folders.Next(state);
    for (const Files& files : batches) {
      platform::ZeroedPages transfer(TransferBuffer::size());
      for (const auto& [name, bytes] : files) {
        std::memcpy(transfer.data(), bytes.data(), bytes.size());
        if (!WriteWhole(folder + name, transfer.data(), bytes.size())) state.SkipWithError("write");
      }
    }
  }
}

BENCHMARK(BM_ExtractScripts)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_WriteFilesFloor)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_TransferFloor)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
