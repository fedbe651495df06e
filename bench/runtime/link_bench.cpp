// Linking a large module: 10,000 symbols and 100,000 fixups, against a runtime table
// the size of the real one. Baseline: copying the same code block.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/module_linker.h"

namespace {

void word(std::vector<uint8_t>& out, int32_t value) {
  for (int i = 0; i < 4; ++i) {
    out.push_back(uint8_t(uint32_t(value) >> (8 * i)));
  }
}

void record(std::vector<uint8_t>& out, const std::string& name, int32_t offset) {
  out.insert(out.end(), name.begin(), name.end());
  out.push_back(0);
  word(out, offset);
}

struct LargeModule {
  std::vector<uint8_t> image;
  RuntimeLinkTable runtime;
  int32_t codeSize = 0;
};

const LargeModule& largeModule() {
  static const LargeModule module = [] {
    LargeModule m;
    constexpr int kSymbols = 10000;
    constexpr int kFixups = 100000;
    constexpr int kRuntimeNames = 329;
    for (int i = 0; i < kRuntimeNames; ++i) {
      m.runtime["_fcommand" + std::to_string(i)] = 0x100000 + i * 16;
    }
    m.codeSize = kFixups * 4 + 4096;
    word(m.image, m.codeSize);
    for (int i = 0; i < m.codeSize; ++i) {
      m.image.push_back(i < kFixups * 4 && (i % 4) == 0 ? 0xFC : (i < kFixups * 4 && i % 4 ? 0xFF : 0x90));
    }
    word(m.image, kSymbols);
    for (int i = 0; i < kSymbols; ++i) {
      record(m.image, "function_" + std::to_string(i), (i * 37) % m.codeSize);
    }
    const int relative = kFixups / 2;
    word(m.image, relative);
    for (int i = 0; i < relative; ++i) {
      const std::string target = (i % 3) ? "_fcommand" + std::to_string(i % kRuntimeNames)
                                         : "function_" + std::to_string(i % kSymbols);
      record(m.image, target, i * 4);
    }
    word(m.image, kFixups - relative);
    for (int i = relative; i < kFixups; ++i) {
      record(m.image, "function_" + std::to_string((i * 7) % kSymbols), i * 4);
    }
    return m;
  }();
  return module;
}

void BM_LinkModule10kSymbols100kFixups(benchmark::State& state) {
  const LargeModule& module = largeModule();
  for (auto _ : state) {
    const LinkOutcome linked = linkModuleBytes(module.image.data(), module.image.size(), module.runtime);
    benchmark::DoNotOptimize(linked.code);
    if (!linked.code) {
      state.SkipWithError(linked.error.c_str());
      break;
    }
  }
  state.counters["fixups/s"] = benchmark::Counter(100000.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}
// Each link keeps its code block for the life of the process, so iterations are few.
BENCHMARK(BM_LinkModule10kSymbols100kFixups)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_BaselineCopyOfTheSameCode(benchmark::State& state) {
  const LargeModule& module = largeModule();
  std::vector<uint8_t> copy(size_t(module.codeSize));
  for (auto _ : state) {
    std::memcpy(copy.data(), module.image.data() + 4, copy.size());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BaselineCopyOfTheSameCode)->Unit(benchmark::kMillisecond);

}  // namespace
