// The language core end to end: C programs whose data holds type descriptors, vector
// descriptors, array records and Data tables as the compiler lays them out, run by
// the host runner against the shared runtime.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/programs/process_runner.h"

namespace {

const std::string kBin = KS_BIN_DIR;
const std::string kPrograms = KS_PROGRAM_DIR;

ProcessResult run(const std::string& program) {
  return runProcess({kBin + "/ksrun", kPrograms + "/" + program + ".ksm"});
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    result.push_back(line);
  }
  return result;
}

// The "[log] " lines of the debugger's output, without the prefix.
std::vector<std::string> logs(const ProcessResult& result) {
  std::vector<std::string> found;
  for (const std::string& line : lines(result.err)) {
    if (line.rfind("[log] ", 0) == 0) {
      found.push_back(line.substr(6));
    }
  }
  return found;
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

using Lines = std::vector<std::string>;

TEST(BasicPrograms, StringEntriesAndNumberText) {
  const ProcessResult result = run("basic_strings");
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(logs(result), (Lines{"unset=[]", "still null=1", "stored=Kestrel Basic", "abc<abd=1", "ab<abc=1",
                                 "empty=empty=0", "toint=42", "toint none=0", "tofloat=1000.000000",
                                 "fromint=-2147483648", "1.5=1.500000", "-1.5=-1.5", "1e7=1.e+007",
                                 "-0.05=-5.e-002", "0.001=0.001000", "-0=-0.000000", "-inf=-INFINITY"}))
      << result.err;
  // Every temporary was released and the variable emptied.
  EXPECT_EQ(lines(result.out), (Lines{"Active strings:0", "Active objects:0", "Unreleased Objects:0"}));
  EXPECT_TRUE(has(result.err, "[end] Program has ended\n"));
}

TEST(BasicPrograms, ObjectEntries) {
  const ProcessResult result = run("basic_objects");
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(logs(result),
            (Lines{"order=123",
                   "text=[1,1.500000,\"10\",[2,2.500000,\"20\",[NULL]]]",
                   "cycle=[1,1.500000,\"10\",[2,2.500000,\"20\",[ROOT]]]",
                   "handle b=1", "handle a=2", "from handle=1", "foreign type=1",
                   "after delete=12", "held text=[NULL]", "held is null=1", "held handle=0",
                   "moved=21", "first=2", "last=1", "prev of a=2",
                   "after delete each first=1", "from deleted handle=1"}))
      << result.err;
  // The Other object is all that is left.
  EXPECT_EQ(lines(result.out), (Lines{"Active strings:0", "Active objects:1", "Unreleased Objects:1"}));
}

TEST(BasicPrograms, ArraysAndVectorsEndWithTheBoundsError) {
  const ProcessResult result = run("basic_arrays");
  EXPECT_NE(result.exitCode, 0);
  EXPECT_EQ(logs(result), (Lines{"size 0=4", "size 1=20", "last slot=0", "undimensioned=1", "redim sizes=11"}))
      << result.err;
  const Lines out = lines(result.out);
  ASSERT_EQ(out.size(), 9u) << result.out;
  EXPECT_EQ(out[0], "Active strings:3");
  EXPECT_EQ(out[6], "Active strings:0");
  EXPECT_TRUE(has(result.err, "[runtime error] Array index out of bounds\n")) << result.err;
  EXPECT_FALSE(has(result.err, "not reached"));
}

TEST(BasicPrograms, DataStatementsEndWithOutOfData) {
  const ProcessResult result = run("basic_data");
  EXPECT_NE(result.exitCode, 0);
  EXPECT_EQ(logs(result), (Lines{"int=-42", "int as float=7.000000", "int as text=9", "2.9 as int=2",
                                 "-2.9 as int=-2", "1.5 as text=1.500000", "literal as int=12",
                                 "literal as float=12.000000", "literal as text=12abc",
                                 "spaced as float=25.000000", "restored=7"}))
      << result.err;
  EXPECT_TRUE(has(result.err, "[runtime error] Out of data\n")) << result.err;
  EXPECT_FALSE(has(result.err, "not reached"));
}

TEST(BasicPrograms, ArithmeticEndsWithIntegerDivideByZero) {
  const ProcessResult result = run("basic_arithmetic");
  EXPECT_NE(result.exitCode, 0);
  EXPECT_EQ(logs(result), (Lines{"abs=5", "abs min=-2147483648", "sgn=-1", "mod -7 3=-1", "mod 7 -3=1",
                                 "fabs=2.500000", "fsgn -0=0.000000", "fsgn -3=-1.", "fmod=1.500000",
                                 "fpow=1024.000000"}))
      << result.err;
  EXPECT_TRUE(has(result.err, "[runtime error] Integer divide by zero\n")) << result.err;
  EXPECT_FALSE(has(result.err, "not reached"));
}

TEST(BasicPrograms, NullObjectError) {
  const ProcessResult result = run("basic_null_object");
  EXPECT_NE(result.exitCode, 0);
  EXPECT_TRUE(has(result.err, "[runtime error] Object does not exist\n")) << result.err;
  EXPECT_FALSE(has(result.err, "not reached"));
}

TEST(BasicPrograms, RuntimeStatsReportLineByLine) {
  const ProcessResult result = run("basic_stats");
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const Lines logged = logs(result);
  ASSERT_EQ(logged.size(), 3u) << result.err;
  ASSERT_EQ(logged[0].rfind("first=0x", 0), 0u);
  const std::string first = logged[0].substr(6);
  const std::string second = logged[1].substr(7);
  const std::string field = logged[2].substr(6);
  EXPECT_EQ(lines(result.out),
            (Lines{"Active strings:3", "Active objects:1", "Unreleased Objects:2", "string@" + first,
                   "string@" + second, "string@" + field, "Active strings:0", "Active objects:0",
                   "Unreleased Objects:0"}));
}

}  // namespace
