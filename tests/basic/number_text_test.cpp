#include "basic/number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

float fromBits(uint32_t bits) {
  return std::bit_cast<float>(bits);
}

TEST(IntToText, DecimalWithSignAndNoPadding) {
  EXPECT_EQ(intToText(0), "0");
  EXPECT_EQ(intToText(42), "42");
  EXPECT_EQ(intToText(-7), "-7");
  EXPECT_EQ(intToText(INT_MAX), "2147483647");
  EXPECT_EQ(intToText(INT_MIN), "-2147483648");
}

TEST(FloatToText, InRangeValuesHaveSixDecimals) {
  EXPECT_EQ(floatToText(1.5f), "1.500000");
  EXPECT_EQ(floatToText(0.5f), "0.500000");
  EXPECT_EQ(floatToText(0.001f), "0.001000");
  EXPECT_EQ(floatToText(123.0f), "123.000000");
  EXPECT_EQ(floatToText(0.000001f), "0.000001");
  EXPECT_EQ(floatToText(0.05f), "0.050000");
  EXPECT_EQ(floatToText(9999999.0f), "9999999.000000");
  EXPECT_EQ(floatToText(3.14159265f), "3.141593");
}

TEST(FloatToText, SixDecimalsRoundHalfAwayFromZero) {
  // 2^-7 = 0.0078125 exactly: a true tie at the seventh decimal.
  EXPECT_EQ(floatToText(0.0078125f), "0.007813");
  // 0.1 as a float is 0.100000001490116...
  EXPECT_EQ(floatToText(0.1f), "0.100000");
  EXPECT_EQ(floatToText(2.0000006f), "2.000001");
}

TEST(FloatToText, LargeAndTinyValuesUseSevenSignificantDigits) {
  EXPECT_EQ(floatToText(10000000.0f), "1.e+007");
  EXPECT_EQ(floatToText(12345678.0f), "1.234568e+007");
  EXPECT_EQ(floatToText(0.0000001f), "1.e-007");
  EXPECT_EQ(floatToText(99999992.0f), "9.999999e+007");
  EXPECT_EQ(floatToText(16777215.0f), "1.677722e+007");
  EXPECT_EQ(floatToText(std::numeric_limits<float>::max()), "3.402823e+038");
  // The largest float below 0.000001f.
  EXPECT_EQ(floatToText(std::nextafter(0.000001f, 0.0f)), "9.999999e-007");
  // The smallest denormal has a three-digit exponent of its own.
  EXPECT_EQ(floatToText(fromBits(1)), "1.401298e-045");
}

TEST(FloatToText, NegativeValuesAlwaysTakeTheSignificantDigitForm) {
  EXPECT_EQ(floatToText(-1.5f), "-1.5");
  EXPECT_EQ(floatToText(-2.0f), "-2.");
  EXPECT_EQ(floatToText(-0.5f), "-0.5");
  EXPECT_EQ(floatToText(-100.0f), "-100.");
  EXPECT_EQ(floatToText(-1234567.0f), "-1234567");
  EXPECT_EQ(floatToText(-1000000.0f), "-1000000");
  EXPECT_EQ(floatToText(-12345678.0f), "-1.234568e+007");
  EXPECT_EQ(floatToText(-0.05f), "-5.e-002");
  EXPECT_EQ(floatToText(-0.1f), "-0.1");
  EXPECT_EQ(floatToText(-0.0000001f), "-1.e-007");
  EXPECT_EQ(floatToText(-123.456f), "-123.456");
}

TEST(FloatToText, SignificantDigitsRoundBeforeTheLayoutIsChosen) {
  // 0.01f is 0.00999999977...: seven digits round up to 1.000000e-2.
  EXPECT_EQ(floatToText(-0.01f), "-1.e-002");
  // The float just below 0.1 stays below it at seven digits.
  EXPECT_EQ(floatToText(-std::nextafter(0.1f, 0.0f)), "-9.999999e-002");
  // 1e11f is 99999997952: the carry makes it 1.000000e+11.
  EXPECT_EQ(floatToText(1e11f), "1.e+011");
  EXPECT_EQ(floatToText(-9999999.0f), "-9999999");
  // A seven-digit tie rounds away from zero: 1234566.5 gives 1234567.
  EXPECT_EQ(floatToText(-1234566.5f), "-1234567");
}

TEST(FloatToText, ZerosInfinitiesAndNan) {
  EXPECT_EQ(floatToText(0.0f), "0.000000");
  EXPECT_EQ(floatToText(-0.0f), "-0.000000");
  EXPECT_EQ(floatToText(std::numeric_limits<float>::infinity()), "INFINITY");
  EXPECT_EQ(floatToText(-std::numeric_limits<float>::infinity()), "-INFINITY");
  EXPECT_EQ(floatToText(std::numeric_limits<float>::quiet_NaN()), "NAN");
  EXPECT_EQ(floatToText(fromBits(0xFFC00001u)), "NAN");
}

TEST(TextToInt, FollowsAtoi) {
  EXPECT_EQ(textToInt(" 42abc"), 42);
  EXPECT_EQ(textToInt("abc"), 0);
  EXPECT_EQ(textToInt(""), 0);
  EXPECT_EQ(textToInt(nullptr), 0);
  EXPECT_EQ(textToInt("\t\n\v\f\r 9"), 9);
  EXPECT_EQ(textToInt("-17"), -17);
  EXPECT_EQ(textToInt("+5"), 5);
  EXPECT_EQ(textToInt("- 5"), 0);
  EXPECT_EQ(textToInt("0x1A"), 0);
  EXPECT_EQ(textToInt("3.9"), 3);
  EXPECT_EQ(textToInt("-2147483648"), INT_MIN);
  EXPECT_EQ(textToInt("2147483647"), INT_MAX);
}

TEST(TextToInt, OverflowSaturates) {
  EXPECT_EQ(textToInt("2147483648"), INT_MAX);
  EXPECT_EQ(textToInt("-2147483649"), INT_MIN);
  EXPECT_EQ(textToInt("99999999999999999999999"), INT_MAX);
  EXPECT_EQ(textToInt("-99999999999999999999999"), INT_MIN);
}

TEST(TextToFloat, ReadsTheLongestDecimalPrefix) {
  EXPECT_EQ(textToFloat("1e3"), 1000.0f);
  EXPECT_EQ(textToFloat(" -2.5xyz"), -2.5f);
  EXPECT_EQ(textToFloat(".5"), 0.5f);
  EXPECT_EQ(textToFloat("5."), 5.0f);
  EXPECT_EQ(textToFloat("+.5e1"), 5.0f);
  EXPECT_EQ(textToFloat("2E-2"), 0.02f);
  EXPECT_EQ(textToFloat("12abc"), 12.0f);
  EXPECT_EQ(textToFloat("1e"), 1.0f);
  EXPECT_EQ(textToFloat("1e+"), 1.0f);
  EXPECT_EQ(textToFloat("7e-x"), 7.0f);
  EXPECT_EQ(textToFloat("0.1"), 0.1f);
  EXPECT_EQ(textToFloat("1e400"), std::numeric_limits<float>::infinity());
  EXPECT_EQ(textToFloat("-1e-400"), 0.0f);
}

TEST(TextToFloat, NothingDecimalReadsAsZero) {
  EXPECT_EQ(textToFloat(""), 0.0f);
  EXPECT_EQ(textToFloat(nullptr), 0.0f);
  EXPECT_EQ(textToFloat("."), 0.0f);
  EXPECT_EQ(textToFloat("-"), 0.0f);
  EXPECT_EQ(textToFloat("e5"), 0.0f);
  // Spellings glibc's atof would accept.
  EXPECT_EQ(textToFloat("0x10"), 0.0f);
  EXPECT_EQ(textToFloat("inf"), 0.0f);
  EXPECT_EQ(textToFloat("-infinity"), 0.0f);
  EXPECT_EQ(textToFloat("nan"), 0.0f);
}

TEST(NumberText, FloatTextReadsBackToTheSameValue) {
  for (const float value : {1.5f, 0.001f, 123.0f, 1e-7f, 12345678.0f, -0.05f, -2.0f}) {
    const float back = textToFloat(floatToText(value).c_str());
    EXPECT_NEAR(back, value, std::fabs(value) * 1e-6f) << floatToText(value);
  }
}

}  // namespace
