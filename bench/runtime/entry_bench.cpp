// The cost of the entry wrapper: a trivial handler called through its registered
// wrapper against the same handler called directly, both through a pointer.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench/bench_ratio.h"
#include "runtime/entry.h"

namespace {

__attribute__((noinline)) int32_t addOne(int32_t value) {
  return value + 1;
}

using IntEntry = int32_t (*)(int32_t);

void callLoop(benchmark::State& state, IntEntry entry) {
  int32_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(entry);
    value = entry(value);
    benchmark::DoNotOptimize(value);
  }
}

void BM_DirectCall(benchmark::State& state) {
  callLoop(state, &addOne);
}
BENCHMARK(BM_DirectCall);

void BM_CallThroughEntryWrapper(benchmark::State& state) {
  callLoop(state, reinterpret_cast<IntEntry>(ksEntry<&addOne>()));
}
BENCHMARK(BM_CallThroughEntryWrapper);

}  // namespace

int main(int argc, char** argv) {
  return runWithRatios(argc, argv, {{"BM_CallThroughEntryWrapper", "BM_DirectCall"}});
}
