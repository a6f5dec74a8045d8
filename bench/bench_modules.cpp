#include "bench/bench_modules.h"

#include <cstdio>

namespace fwlaunch::bench {

std::vector<BenchModule> BatchModules(int batch) {
  std::vector<BenchModule> modules;
  for (int i = 0; i < kModulesPerBatch; ++i) {
    int index = batch * kModulesPerBatch + i;
    char name[16];
    std::snprintf(name, sizeof name, "m%03d.pyo", index);
    // Sizes spread evenly from 2 KiB to 64 KiB.
    std::size_t size = 2048 + static_cast<std::size_t>(index) * (62 * 1024) / 399;
    modules.push_back({name, size});
  }
  if (batch == kBatches - 1) modules.push_back({"large.pyd", kLargeModuleSize});
  return modules;
}

std::string BatchList(int batch) {
  std::string list;
  for (const BenchModule& module : BatchModules(batch)) list += module.name + "\n";
  return list;
}

void FillModule(const BenchModule& module, unsigned char* out) {
  // Runs of repeated text broken by pseudo-random bytes, as bytecode has names and constants
  // between opcodes.
  unsigned state = 2166136261u;
  for (char c : module.name) state = (state ^ static_cast<unsigned char>(c)) * 16777619u;
  static const char kText[] = "LOAD_GLOBAL STORE_FAST CALL_FUNCTION RETURN_VALUE ";
  for (std::size_t i = 0; i < module.size; ++i) {
    state = state * 1103515245u + 12345u;
    out[i] = (state >> 29) == 0 ? static_cast<unsigned char>(state >> 16)
                                : static_cast<unsigned char>(kText[i % (sizeof kText - 1)]);
  }
}

}  // namespace fwlaunch::bench
