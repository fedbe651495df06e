// Runs the registered benchmarks, then prints each measured command's time over its
// baseline's, measured in the same run, against the goal for that ratio. Each side is
// its fastest repetition: other work on the machine only ever adds time.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/emulation_notice.h"

struct RatioGoal {
  const char* measured;
  const char* baseline;
  double maxRatio;  // measured time / baseline time must not exceed this
};

class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration) {
        const std::string& name = run.run_name.function_name;
        const double time = run.GetAdjustedRealTime();
        const auto known = times.find(name);
        if (known == times.end() || time < known->second) {
          times[name] = time;
        }
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

// Returns 0 when every goal with both sides measured is met, 1 otherwise. Emulated
// figures are shown but not judged.
inline int runWithRatios(int argc, char** argv, const std::vector<RatioGoal>& goals) {
  const bool emulated = printEmulationNotice();
  benchmark::Initialize(&argc, argv);
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  int failed = 0;
  for (const RatioGoal& goal : goals) {
    const auto m = reporter.times.find(goal.measured);
    const auto b = reporter.times.find(goal.baseline);
    if (m == reporter.times.end() || b == reporter.times.end()) {
      continue;
    }
    const double ratio = m->second / b->second;
    const bool met = ratio <= goal.maxRatio;
    failed |= !met && !emulated;
    std::printf("ratio %-28s / %-28s = %5.2f (goal <= %.2f) %s\n", goal.measured, goal.baseline,
                ratio, goal.maxRatio, emulated ? "not judged (emulated)" : met ? "met" : "MISSED");
  }
  benchmark::Shutdown();
  return failed;
}
