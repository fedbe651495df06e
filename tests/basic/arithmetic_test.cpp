#include "basic/arithmetic.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "basic/ks_error.h"

namespace {

TEST(Arithmetic, AbsAndSgnOfIntegers) {
  EXPECT_EQ(ksAbs(-5), 5);
  EXPECT_EQ(ksAbs(5), 5);
  EXPECT_EQ(ksAbs(0), 0);
  EXPECT_EQ(ksAbs(INT_MIN), INT_MIN);
  EXPECT_EQ(ksSgn(-9), -1);
  EXPECT_EQ(ksSgn(0), 0);
  EXPECT_EQ(ksSgn(INT_MAX), 1);
  EXPECT_EQ(ksSgn(INT_MIN), -1);
}

TEST(Arithmetic, ModTakesTheSignOfTheDividend) {
  EXPECT_EQ(ksMod(-7, 3), -1);
  EXPECT_EQ(ksMod(7, -3), 1);
  EXPECT_EQ(ksMod(7, 3), 1);
  EXPECT_EQ(ksMod(-7, -3), -1);
  EXPECT_EQ(ksMod(6, 3), 0);
  EXPECT_EQ(ksMod(INT_MIN, -1), 0);
  EXPECT_EQ(ksMod(INT_MIN, 7), INT_MIN % 7);
}

TEST(Arithmetic, ModByZeroIsARuntimeError) {
  try {
    ksMod(5, 0);
    FAIL() << "no error";
  } catch (const ksEx& e) {
    EXPECT_STREQ(e.message, "Integer divide by zero");
  }
}

TEST(Arithmetic, FloatAbsKeepsNegativeZero) {
  EXPECT_EQ(ksFAbs(-2.5f), 2.5f);
  EXPECT_EQ(ksFAbs(2.5f), 2.5f);
  EXPECT_TRUE(std::signbit(ksFAbs(-0.0f)));
  EXPECT_EQ(ksFAbs(-std::numeric_limits<float>::infinity()), std::numeric_limits<float>::infinity());
}

TEST(Arithmetic, FloatSgn) {
  EXPECT_EQ(ksFSgn(3.0f), 1.0f);
  EXPECT_EQ(ksFSgn(-3.0f), -1.0f);
  EXPECT_EQ(ksFSgn(0.0f), 0.0f);
  EXPECT_EQ(ksFSgn(-0.0f), 0.0f);
  EXPECT_FALSE(std::signbit(ksFSgn(-0.0f)));
  EXPECT_EQ(ksFSgn(std::numeric_limits<float>::quiet_NaN()), -1.0f);
}

TEST(Arithmetic, FloatModAndPowFollowTheCLibrary) {
  EXPECT_EQ(ksFMod(7.5f, 2.0f), 1.5f);
  EXPECT_EQ(ksFMod(-7.5f, 2.0f), -1.5f);
  EXPECT_TRUE(std::isnan(ksFMod(1.0f, 0.0f)));
  EXPECT_EQ(ksFPow(2.0f, 10.0f), 1024.0f);
  EXPECT_NEAR(ksFPow(2.0f, 0.5f), 1.4142135f, 1e-6f);
  EXPECT_EQ(ksFPow(0.0f, 0.0f), 1.0f);
  EXPECT_TRUE(std::isnan(ksFPow(-8.0f, 1.0f / 3.0f)));
}

}  // namespace
