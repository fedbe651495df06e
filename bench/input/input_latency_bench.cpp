// Input latency: a key pressed and released in the window's event queue, pumped by Flip
// and seen by KeyHit in a 640 x 480 window; the same in full-screen (acquired) mode with
// the event pump that Flip ends with called alone (a full-screen Flip presents a picture
// every time, which would drown the figure). Each against the same calls with no key (the
// pump's own cost), and against bare SDL pushing and polling the same two events, all in
// the same run. The processing a key costs is the difference to the pump's own cost.
// Goal, judged on native machines only: under 1 ms of processing per key.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "basic/ks_error.h"
#include "bench/emulation_notice.h"
#include "graphics/graphics_commands.h"
#include "host/sys_runtime.h"
#include "input/input_commands.h"
#include "runtime/modules.h"
#include "runtime/standalone_debugger.h"

namespace {

constexpr int kKeyA = 30;


StandaloneDebugger debugger;  // a runtime error shows on standard error
sysRuntime* runtime = nullptr;

bool startRun() {
  runtime = sysRuntime::create(nullptr, "", &debugger, 0);
  if (!runtime) {
    return false;
  }
  currentRuntime = runtime;
  return graphics_create() && input_create();
}

void endRun() {
  input_destroy();
  graphics_destroy();
  sysRuntime::destroy(runtime);
  currentRuntime = nullptr;
}

void pressAndRelease(int code) {
  HostEvent event{HostEventKind::KeyDown};
  event.code = code;
  injectHostEvent(event);
  event.kind = HostEventKind::KeyUp;
  injectHostEvent(event);
}

// mode 2: a window; mode 1: full-screen, where the keyboard is acquired.
void openDisplay(int mode) {
  gfxcmd::graphics(640, 480, 32, mode);
  gfxcmd::flip(0);
  inputcmd::flushKeys();
}

void flip() {
  gfxcmd::flip(0);
}

void pump() {
  pumpOrEnd();
}

template <void (*Pump)()>
void keyToKeyHit(benchmark::State& state, int mode) {
  openDisplay(mode);
  for (auto _ : state) {
    pressAndRelease(kKeyA);
    Pump();
    if (inputcmd::keyHit(kKeyA) != 1) {
      state.SkipWithError("KeyHit did not see the key");
      break;
    }
  }
}

template <void (*Pump)()>
void withoutKeys(benchmark::State& state, int mode) {
  openDisplay(mode);
  for (auto _ : state) {
    Pump();
    benchmark::DoNotOptimize(inputcmd::keyHit(kKeyA));
  }
}

void BM_KeyToKeyHitWindow(benchmark::State& state) { keyToKeyHit<flip>(state, 2); }
void BM_NoKeyWindow(benchmark::State& state) { withoutKeys<flip>(state, 2); }
void BM_KeyToKeyHitFullScreen(benchmark::State& state) { keyToKeyHit<pump>(state, 1); }
void BM_NoKeyFullScreen(benchmark::State& state) { withoutKeys<pump>(state, 1); }

void BM_BareSdlPushAndPoll(benchmark::State& state) {
  for (auto _ : state) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.scancode = SDL_SCANCODE_A;
    SDL_PushEvent(&event);
    event.type = SDL_KEYUP;
    SDL_PushEvent(&event);
    int seen = 0;
    while (SDL_PollEvent(&event)) {
      ++seen;
    }
    benchmark::DoNotOptimize(seen);
  }
}

BENCHMARK(BM_KeyToKeyHitWindow)->Unit(benchmark::kMicrosecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_NoKeyWindow)->Unit(benchmark::kMicrosecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_KeyToKeyHitFullScreen)->Unit(benchmark::kMicrosecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_NoKeyFullScreen)->Unit(benchmark::kMicrosecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_BareSdlPushAndPoll)->Unit(benchmark::kMicrosecond)->UseRealTime()->Repetitions(3);

// Prints, after the table, each key's processing (key run minus the pump's own cost) and
// its ratio to bare SDL's push and poll of the same events.
class LatencyReporter : public benchmark::ConsoleReporter {
 public:
  LatencyReporter() : ConsoleReporter(OO_None) {}  // plain text: the summary follows it
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        medians_[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double bare = medians_["BM_BareSdlPushAndPoll"];
    for (const char* kind : {"Window", "FullScreen"}) {
      const double key = medians_[std::string("BM_KeyToKeyHit") + kind];
      const double alone = medians_[std::string("BM_NoKey") + kind];
      if (key <= 0 || alone <= 0) {
        continue;
      }
      std::printf("%s: key to KeyHit %.1f us, of which processing %.1f us (goal under 1000 us)", kind, key,
                  key - alone);
      if (bare > 0) {
        std::printf("; ratio to bare SDL push and poll = %.2f", (key - alone) / bare);
      }
      std::printf("\n");
    }
  }

 private:
  std::map<std::string, double> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  printEmulationNotice();
  benchmark::Initialize(&argc, argv);
  if (!startRun()) {
    std::fprintf(stderr, "input_latency_bench: the run could not start\n");
    return 1;
  }
  LatencyReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  endRun();
  benchmark::Shutdown();
  return 0;
}
