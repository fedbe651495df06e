// Rand(1, 6) through its registered entry against std::minstd_rand with
// std::uniform_int_distribution<int>(1, 6), in the same run.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "bench/streams/ratio_report.h"
#include "runtime/modules.h"

namespace {

using RandEntry = int32_t (*)(int32_t, int32_t);
RandEntry randEntry = nullptr;

void collect(CommandSignature signature, void* entry) {
  if (std::string(signature) == "%Rand%from%to=1") {
    randEntry = reinterpret_cast<RandEntry>(entry);
  }
}

void BM_MinstdUniform(benchmark::State& state) {
  std::minstd_rand generator;
  std::uniform_int_distribution<int> dice(1, 6);
  for (auto _ : state) {
    benchmark::DoNotOptimize(dice(generator));
  }
}

void BM_Rand(benchmark::State& state) {
  RandEntry call = randEntry;
  benchmark::DoNotOptimize(call);
  for (auto _ : state) {
    benchmark::DoNotOptimize(call(1, 6));
  }
}

BENCHMARK(BM_MinstdUniform)->Repetitions(5);
BENCHMARK(BM_Rand)->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
  math_link(collect);
  math_create();
  return runWithRatios(argc, argv, {{"BM_Rand", "BM_MinstdUniform", 1.0}});
}
