// The module set the benchmarks extract: 400 modules of 2 to 64 KiB and one of 9.5 MiB, in
// four lists of at most 1023 characters each (the launcher's list buffer holds no more).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace fwlaunch::bench {

struct BenchModule {
  std::string name;
  std::size_t size;
};

inline constexpr int kBatches = 4;
inline constexpr int kModulesPerBatch = 100;
inline constexpr std::size_t kLargeModuleSize = 19 * 512 * 1024;  // 9.5 MiB

// The modules of one batch; the last batch also carries the large one.
std::vector<BenchModule> BatchModules(int batch);

// The module list text of a batch, each name followed by LF.
std::string BatchList(int batch);

// A module's bytes: the same for the same name on every call, compressible about as well as
// compiled bytecode is.
void FillModule(const BenchModule& module, unsigned char* out);

}  // namespace fwlaunch::bench
