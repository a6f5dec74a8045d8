// What extracting an image does on top of writing files, alone, for the modules of the image
// benchmark (batch 3): inflating them (for a deflate image), and, for any image, taking fresh
// transfer pages for the largest and checking every module's CRC-32.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "bench/bench_modules.h"
#include "extract/transfer_buffer.h"
#include "image/checksum.h"
#include "platform/memory_hints.h"
#include "platform/zeroed_pages.h"

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

// Fresh pages for the largest module, mapped as the library maps them, and the CRC-32 of every
// module, with the library's own functions.
void BM_FreshPagesAndCrcOnly(benchmark::State& state) {
  std::vector<std::vector<unsigned char>> modules;
  std::size_t largest = 0;
  for (const bench::BenchModule& module : bench::BatchModules(bench::kBatches - 1)) {
    modules.emplace_back(module.size);
    bench::FillModule(module, modules.back().data());
    largest = std::max(largest, module.size);
  }
  for (auto _ : state) {
    platform::ZeroedPages transfer(TransferBuffer::size());
    platform::WillWrite(transfer.data(), largest);
    std::uint32_t crc = 0;
    for (const auto& module : modules) crc = image::Crc32(0, module);
    benchmark::DoNotOptimize(crc);
  }
}

BENCHMARK(BM_InflateOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FreshPagesAndCrcOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
