// Compile speed: lexing, parsing and generating a 100,000-line program in memory, in
// lines per second (goal: at least 200,000). Baseline: lexing the same text alone.
#include <benchmark/benchmark.h>

#include <string>

#include "tools/kbc/codegen.h"
#include "tools/kbc/parser.h"

namespace {

// Functions of 50 lines with loops, conditionals, arithmetic, strings and calls.
const std::string& largeProgram() {
  static const std::string text = [] {
    std::string s = "Global total%, label$\nType Cell\n  Field x%, y#, name$\nEnd Type\nDim grid%(99, 99)\n";
    int lines = 5;
    int function = 0;
    while (lines < 100000 - 60) {
      const std::string n = std::to_string(function++);
      s += "Function work" + n + "%(a%, b# = 1.5, c$ = \"x\")\n";
      s += "  Local sum% = a, f# = b * 2\n";
      for (int i = 0; i < 8; ++i) {
        const std::string k = std::to_string(i);
        s += "  For i" + k + " = 0 To a Step 2\n";
        s += "    sum = sum + i" + k + " * " + k + " Mod 7\n";
        s += "    If sum > 1000 Then sum = sum - 1000 Else f = f + 0.5\n";
        s += "  Next\n";
        s += "  grid(a Mod 100, " + k + ") = sum\n";
      }
      s += "  label = c + sum + \" \" + f\n";
      s += "  Return sum + Len(c)\nEnd Function\n";
      s += "total = total + work" + n + "(" + n + ")\n";
      lines += 45;
    }
    while (lines < 100000) {
      s += "total = total + 1\n";
      ++lines;
    }
    return s;
  }();
  return text;
}

void BM_CompileLargeProgram(benchmark::State& state) {
  const std::string& text = largeProgram();
  for (auto _ : state) {
    SourceSet sources;
    sources.files.push_back({"large.kb", text});
    const IncludeLoader none = [](const std::string&, SourcePos pos) -> int { fail(pos, "no includes"); };
    Program program = parseProgram(sources, 0, none);
    benchmark::DoNotOptimize(compileProgram(program, sources, CompileOptions{}));
  }
  state.counters["lines/s"] = benchmark::Counter(100000.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CompileLargeProgram)->Unit(benchmark::kMillisecond);

void BM_LexLargeProgram(benchmark::State& state) {
  const std::string& text = largeProgram();
  for (auto _ : state) {
    benchmark::DoNotOptimize(lex(text, 0));
  }
  state.counters["lines/s"] = benchmark::Counter(100000.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LexLargeProgram)->Unit(benchmark::kMillisecond);

}  // namespace
