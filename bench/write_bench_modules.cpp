// Writes the benchmark module set into a folder, and the module lists as batchN.list.
// Usage: write_bench_modules FOLDER
#include <cstdio>
#include <fstream>
#include <vector>

#include "bench/bench_modules.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_bench_modules FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  for (int batch = 0; batch < fwlaunch::bench::kBatches; ++batch) {
    std::ofstream(folder + "/batch" + std::to_string(batch) + ".list")
        << fwlaunch::bench::BatchList(batch);
    for (const fwlaunch::bench::BenchModule& module : fwlaunch::bench::BatchModules(batch)) {
      std::vector<unsigned char> bytes(module.size);
      fwlaunch::bench::FillModule(module, bytes.data());
      std::ofstream out(folder + "/" + module.name, std::ios::binary);
      out.write(reinterpret_cast<const char*>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
      if (!out) return 1;
    }
  }
  return 0;
}
