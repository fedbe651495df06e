// Long socket waits keep the window pumped: a program waiting a minute on a UDP
// receive, a TCP accept, a TCP read or a TCP connect ends at once when ksrun asks it to.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/programs/process_runner.h"

namespace {

class LongSocketWait : public ::testing::TestWithParam<const char*> {};

TEST_P(LongSocketWait, AnEndRequestEndsTheWaitingProgram) {
  const auto start = std::chrono::steady_clock::now();
  const ProcessResult run =
      runProcess({std::string(KS_BIN_DIR) + "/ksrun", "--end-after", "1500",
                  std::string(KS_PROGRAM_DIR) + "/long_socket_wait.ksm", GetParam()});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(40));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("[log] Waiting"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("ran its course"), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Waits, LongSocketWait, ::testing::Values("udp", "accept", "read", "connect"));

}  // namespace
