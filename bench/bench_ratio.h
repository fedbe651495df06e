// A console reporter that also prints, after the run, the ratio of each benchmark to
// its baseline measured in the same run.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "bench/emulation_notice.h"

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Prints "name / baseline" as a ratio of real time per iteration.
  explicit RatioReporter(std::vector<std::pair<std::string, std::string>> pairs) : pairs_(std::move(pairs)) {}

  // With repetitions the median stands for the benchmark, which steadies the ratios on
  // a shared machine.
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate) {
        if (run.aggregate_name == "median") {
          times_[run.run_name.str()] = run.GetAdjustedRealTime();
          medians_.insert(run.run_name.str());
        }
      } else if (!medians_.count(run.run_name.str())) {
        times_[run.run_name.str()] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const auto& [name, baseline] : pairs_) {
      const auto a = times_.find(name);
      const auto b = times_.find(baseline);
      if (a != times_.end() && b != times_.end() && b->second > 0) {
        std::printf("ratio %s / %s = %.2f\n", name.c_str(), baseline.c_str(), a->second / b->second);
      }
    }
  }

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;
  std::map<std::string, double> times_;
  std::set<std::string> medians_;
};

// main() for a benchmark file that reports ratios.
inline int runWithRatios(int argc, char** argv, std::vector<std::pair<std::string, std::string>> pairs) {
  printEmulationNotice();
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter(std::move(pairs));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
