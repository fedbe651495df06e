// Generated code: five workloads compiled by kbc beside the same algorithms in C built
// with gcc -m32 -O0 and -O2, each a module image linked into this process against the
// runtime's entries and run as its entry (goal: kbc faster than -O0 on every workload;
// the ratio to -O2 is reported).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "runtime/command_registry.h"
#include "runtime/module_image.h"
#include "runtime/module_linker.h"
#include "runtime/modules.h"
#include "tools/common/module_file.h"

namespace {

RuntimeLinkTable* table = nullptr;

void collect(CommandSignature signature, void* entry) {
  (*table)[linkName(signature)] = int32_t(reinterpret_cast<intptr_t>(entry));
}

using Entry = void (*)();

Entry load(const std::string& name) {
  static RuntimeLinkTable links;
  static bool ready = false;
  if (!ready) {
    table = &links;
    linkAll(collect);
    basic_create();  // the string, object and array pools the workloads use
    ready = true;
  }
  static std::map<std::string, Entry> loaded;
  if (const auto found = loaded.find(name); found != loaded.end()) {
    return found->second;
  }
  const ModuleFile file = readModuleFile(std::string(KBC_BENCH_MODULES) + "/" + name + ".ksm");
  if (file.status != ModuleFile::Status::Ok) {
    std::fprintf(stderr, "%s\n", file.error.c_str());
    return loaded[name] = nullptr;
  }
  const LinkOutcome linked = linkModuleBytes(file.bytes.data(), file.bytes.size(), links);
  if (!linked.code) {
    std::fprintf(stderr, "%s: %s\n", name.c_str(), linked.error.c_str());
  }
  return loaded[name] = reinterpret_cast<Entry>(linked.code);
}

void runModule(benchmark::State& state, const std::string& name) {
  const Entry entry = load(name);
  if (!entry) {
    state.SkipWithError("module not loaded");
    return;
  }
  for (auto _ : state) {
    entry();
  }
}

#define WORKLOAD(w)                                                                  \
  void BM_##w##_kbc(benchmark::State& state) { runModule(state, #w "_kbc"); }        \
  void BM_##w##_gccO0(benchmark::State& state) { runModule(state, #w "_O0"); }       \
  void BM_##w##_gccO2(benchmark::State& state) { runModule(state, #w "_O2"); }       \
  BENCHMARK(BM_##w##_kbc)->Unit(benchmark::kMicrosecond);                            \
  BENCHMARK(BM_##w##_gccO0)->Unit(benchmark::kMicrosecond);                          \
  BENCHMARK(BM_##w##_gccO2)->Unit(benchmark::kMicrosecond);

WORKLOAD(int_loop)
WORKLOAD(float_loop)
WORKLOAD(string_build)
WORKLOAD(object_walk)
WORKLOAD(array_update)

}  // namespace
