#include "basic/runtime_stats.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "basic/string_entries.h"
#include "compiled_data.h"

namespace {

using RuntimeStats = BasicRun;

std::vector<std::string> reportLines() {
  std::ostringstream out;
  writeRuntimeStats(out);
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  EXPECT_EQ(out.str().back(), '\n');
  return lines;
}

std::string addressText(const void* p) {
  std::ostringstream out;
  out << p;
  return out.str();
}

TEST_F(RuntimeStats, OnlyTheThreeCountsWithoutLiveStrings) {
  EXPECT_EQ(reportLines(), (std::vector<std::string>{
                               "Active strings:0", "Active objects:0", "Unreleased Objects:0"}));
}

TEST_F(RuntimeStats, CountsThenEveryLiveStringOldestFirst) {
  static CompiledType<1> type({intTypeWord()});
  ksObj* shell = nullptr;
  ksObjStore(&shell, ksObjNew(type.get()));
  ksObjDelete(shell);
  ksObjNew(type.get());
  ksStr* a = ksStrConst("a");
  ksStr* gone = ksStrConst("gone");
  ksStr* b = ksStrConst("b");
  ksStrRelease(gone);
  const std::vector<std::string> lines = reportLines();
  EXPECT_EQ(lines, (std::vector<std::string>{"Active strings:2", "Active objects:1", "Unreleased Objects:2",
                                            "string@" + addressText(a), "string@" + addressText(b)}));
}

}  // namespace
