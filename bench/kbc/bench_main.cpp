// Ratios printed after the run: kbc's code to gcc -O0 and -O2 per workload, and the
// compiler to lexing alone.
#include "bench/bench_ratio.h"

int main(int argc, char** argv) {
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const char* w : {"int_loop", "float_loop", "string_build", "object_walk", "array_update"}) {
    const std::string name = w;
    pairs.push_back({"BM_" + name + "_kbc", "BM_" + name + "_gccO0"});
    pairs.push_back({"BM_" + name + "_kbc", "BM_" + name + "_gccO2"});
  }
  pairs.push_back({"BM_CompileLargeProgram", "BM_LexLargeProgram"});
  return runWithRatios(argc, argv, pairs);
}
