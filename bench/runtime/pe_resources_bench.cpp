// Taking the module out of a Windows game executable whose resource tree is crowded
// (3,000 other resources in two languages, a 1 MB module): the lookup and the copy of
// the module's bytes, against the copy alone.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/bench_ratio.h"
#include "platform/process.h"
#include "runtime/pe_resources.h"
#include "tests/runtime/pe_builder.h"

namespace {

const std::vector<uint8_t>& gameExecutable() {
  static const std::vector<uint8_t> file = [] {
    std::vector<TestResource> resources;
    for (uint32_t id = 1; id <= 500; ++id) {
      for (uint32_t type : {3u, 6u, kResourceRcData}) {
        for (uint16_t language : {uint16_t(0x407), uint16_t(0x409)}) {
          resources.push_back({type, id, language, std::vector<uint8_t>(16, uint8_t(id))});
        }
      }
    }
    resources.push_back({kResourceRcData, kModuleResourceId, 0x409, std::vector<uint8_t>(1 << 20, 0x90)});
    return buildPe(resources);
  }();
  return file;
}

void BM_FindAndCopyTheModule(benchmark::State& state) {
  const std::vector<uint8_t>& file = gameExecutable();
  for (auto _ : state) {
    const PeResource found = findPeResource(file.data(), file.size(), kResourceRcData, kModuleResourceId);
    std::vector<uint8_t> module(file.begin() + std::ptrdiff_t(found.offset),
                                file.begin() + std::ptrdiff_t(found.offset + found.size));
    benchmark::DoNotOptimize(module.data());
  }
}
BENCHMARK(BM_FindAndCopyTheModule)->Unit(benchmark::kMicrosecond);

void BM_BaselineCopyOfTheModule(benchmark::State& state) {
  const std::vector<uint8_t>& file = gameExecutable();
  const PeResource found = findPeResource(file.data(), file.size(), kResourceRcData, kModuleResourceId);
  for (auto _ : state) {
    std::vector<uint8_t> module(file.begin() + std::ptrdiff_t(found.offset),
                                file.begin() + std::ptrdiff_t(found.offset + found.size));
    benchmark::DoNotOptimize(module.data());
  }
}
BENCHMARK(BM_BaselineCopyOfTheModule)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return runWithRatios(argc, argv, {{"BM_FindAndCopyTheModule", "BM_BaselineCopyOfTheModule"}});
}
