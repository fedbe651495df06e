// PeekInt and PokeInt through their registered entries, beside the floor of an entry
// that does nothing with the same arguments, measured in the same run.
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "bench/streams/ratio_report.h"
#include "runtime/entry.h"
#include "runtime/modules.h"

namespace {

constexpr int kBankSize = 4096;

std::map<std::string, void*> entries;
void collect(CommandSignature signature, void* entry) { entries[signature] = entry; }

template <typename Function>
Function entry(const char* signature) {
  return reinterpret_cast<Function>(entries.at(signature));
}

using Peek = int32_t (*)(int32_t, int32_t);
using Poke = void (*)(int32_t, int32_t, int32_t);

int32_t emptyTwo(int32_t a, int32_t b) { return a ^ b; }
void emptyThree(int32_t, int32_t, int32_t) {}

int32_t bank = 0;

// The volatile function pointer keeps the call from being inlined away, as for the
// commands.
void BM_EmptyEntryTwoArgs(benchmark::State& state) {
  Peek volatile call = reinterpret_cast<Peek>(ksEntry<&emptyTwo>());
  int32_t offset = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(call(bank, offset));
    offset = (offset + 4) & (kBankSize - 4);
  }
}

void BM_PeekInt(benchmark::State& state) {
  Peek volatile call = entry<Peek>("%PeekInt%bank%offset");
  int32_t offset = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(call(bank, offset));
    offset = (offset + 4) & (kBankSize - 4);
  }
}

void BM_EmptyEntryThreeArgs(benchmark::State& state) {
  Poke volatile call = reinterpret_cast<Poke>(ksEntry<&emptyThree>());
  int32_t offset = 0;
  for (auto _ : state) {
    call(bank, offset, offset);
    offset = (offset + 4) & (kBankSize - 4);
  }
}

void BM_PokeInt(benchmark::State& state) {
  Poke volatile call = entry<Poke>("PokeInt%bank%offset%value");
  int32_t offset = 0;
  for (auto _ : state) {
    call(bank, offset, offset);
    offset = (offset + 4) & (kBankSize - 4);
  }
}

BENCHMARK(BM_EmptyEntryTwoArgs)->Repetitions(3);
BENCHMARK(BM_PeekInt)->Repetitions(3);
BENCHMARK(BM_EmptyEntryThreeArgs)->Repetitions(3);
BENCHMARK(BM_PokeInt)->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
  bank_link(collect);
  bank_create();
  bank = entry<int32_t (*)(int32_t)>("%CreateBank%size=0")(kBankSize);
  const int result = runWithRatios(
      argc, argv,
      {{"BM_PeekInt", "BM_EmptyEntryTwoArgs", 1.5}, {"BM_PokeInt", "BM_EmptyEntryThreeArgs", 1.5}});
  bank_destroy();
  return result;
}
