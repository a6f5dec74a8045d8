// Inflating alone: the part of extracting a deflate image that no extractor can avoid. The
// modules of the image benchmark (batch 3) deflated as fwpack --compress does, then inflated
// into memory with the same decompressor the reference library uses.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <vector>

#include "bench/bench_modules.h"

namespace {

using namespace fwlaunch;

void BM_InflateOnly(benchmark::State& state) {
  struct Packed {
    std::vector<unsigned char> bytes;
    std::size_t original;
  };
  std::vector<Packed> modules;
  std::size_t largest = 0;
  for (const bench::BenchModule& module : bench::BatchModules(bench::kBatches - 1)) {
    std::vector<unsigned char> original(module.size);
    bench::FillModule(module, original.data());
    uLongf size = compressBound(module.size);
    Packed packed{std::vector<unsigned char>(size), module.size};
    compress2(packed.bytes.data(), &size, original.data(), module.size, Z_BEST_COMPRESSION);
    packed.bytes.resize(size);
    modules.push_back(std::move(packed));
    largest = std::max(largest, module.size);
  }
  std::vector<unsigned char> out(largest);
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  for (auto _ : state) {
    for (const Packed& module : modules) {
      if (libdeflate_zlib_decompress(decompressor, module.bytes.data(), module.bytes.size(),
                                     out.data(), module.original, nullptr) != LIBDEFLATE_SUCCESS)
        state.SkipWithError("inflate");
    }
    benchmark::DoNotOptimize(out.data());
  }
  libdeflate_free_decompressor(decompressor);
}

BENCHMARK(BM_InflateOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
