// A script library for benchmarks: serves the benchmark module set from memory, so that only
// the extraction's own cost is measured. The "firmware path" names the batch: "0" to "3".
#include <fwlaunch/script_library.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_modules.h"

namespace {

using fwlaunch::bench::BenchModule;

// Built on first use and kept until the library is unloaded.
const std::map<std::string, std::vector<unsigned char>>& Modules() {
  static const auto modules = [] {
    std::map<std::string, std::vector<unsigned char>> all;
    for (int batch = 0; batch < fwlaunch::bench::kBatches; ++batch) {
      for (const BenchModule& module : fwlaunch::bench::BatchModules(batch)) {
        std::vector<unsigned char>& bytes = all[module.name];
        bytes.resize(module.size);
        fwlaunch::bench::FillModule(module, bytes.data());
      }
    }
    return all;
  }();
  return modules;
}

}  // namespace

#define BENCH_EXPORT extern "C" FWL_EXPORT

BENCH_EXPORT std::int32_t FWL_CALL Py_QueryCfg(const char* firmware, const char*, char* list) {
  std::string text = fwlaunch::bench::BatchList(std::atoi(firmware));
  std::memcpy(list, text.c_str(), text.size() + 1);
  Modules();
  return static_cast<std::int32_t>(text.size());
}

BENCH_EXPORT std::int32_t FWL_CALL Py_OpenFirmware(const char*, std::uint8_t*, std::uint8_t*) {
  return 1;
}

BENCH_EXPORT std::int32_t FWL_CALL Py_ReadFileInFW(std::uint8_t*, const char* name, std::int32_t,
                                                   std::int32_t capacity, std::uint8_t* transfer,
                                                   std::int32_t) {
  auto module = Modules().find(name);
  if (module == Modules().end() || module->second.size() > static_cast<std::size_t>(capacity))
    return 0;
  std::memcpy(transfer, module->second.data(), module->second.size());
  return static_cast<std::int32_t>(module->second.size());
}
