// The math commands: the generator's exact sequence and seeding, Rand's range rules,
// and the degree-based trigonometry within single-precision tolerance.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "runtime/modules.h"
#include "util/math_commands.h"

using namespace mathcmd;

namespace {

std::vector<int32_t> sixes(int count) {
  std::vector<int32_t> values;
  for (int i = 0; i < count; ++i) {
    values.push_back(mathcmd::rand(1, 6));
  }
  return values;
}

TEST(RandomGenerator, StartsFromTheSameStateEveryRun) {
  math_create();
  std::vector<int32_t> states;
  for (int i = 0; i < 4; ++i) {
    states.push_back(randomStep());
  }
  EXPECT_EQ(states, (std::vector<int32_t>{224942860, 539475828, 650989866, 1951098782}));
  math_create();
  EXPECT_EQ(rnd(0, 1), 0.35565948486328125f);
  EXPECT_EQ(rnd(0, 1), 0.74787139892578125f);
  math_create();
  EXPECT_EQ(sixes(10), (std::vector<int32_t>{3, 5, 2, 3, 4, 5, 4, 1, 1, 4}));
}

TEST(RandomGenerator, SeedsUseTheirLowSixteenBits) {
  seedRnd(1);
  EXPECT_EQ(randomStep(), 48271);
  seedRnd(1);
  const std::vector<int32_t> expected = {5, 3, 1, 2, 6, 5, 5, 6, 6, 3};
  EXPECT_EQ(sixes(10), expected);
  seedRnd(0);
  EXPECT_EQ(sixes(10), expected);
  seedRnd(65536);
  EXPECT_EQ(sixes(10), expected);
  seedRnd(0x12345);
  const std::vector<int32_t> a = sixes(20);
  seedRnd(0x2345);
  EXPECT_EQ(sixes(20), a);
}

TEST(RandomGenerator, StateStaysInsideTheModulusAndMatchesTheProduct) {
  seedRnd(0xFFFF);
  for (int i = 0; i < 100000; ++i) {
    const int64_t before = randomState;
    const int32_t after = randomStep();
    ASSERT_EQ(after, (before * 48271) % 2147483647);
    ASSERT_GE(after, 1);
  }
}

TEST(RandomRanges, RandOrdersItsBoundsAndDefaults) {
  seedRnd(7);
  const std::vector<int32_t> forward = sixes(50);
  seedRnd(7);
  for (int32_t v : forward) {
    EXPECT_EQ(mathcmd::rand(6, 1), v);
  }
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(mathcmd::rand(5, 5), 5);
    const int32_t zeroOne = mathcmd::rand(0, 1);
    EXPECT_TRUE(zeroOne == 0 || zeroOne == 1);
    const int32_t wide = mathcmd::rand(INT32_MIN, INT32_MAX);
    (void)wide;  // any value is inside; the point is no overflow trap
    const int32_t neg = mathcmd::rand(-3, -10);
    EXPECT_GE(neg, -10);
    EXPECT_LE(neg, -3);
  }
  // Rand(from, to) with to at its default of 1.
  bool seen[7] = {};
  for (int i = 0; i < 500; ++i) {
    const int32_t v = mathcmd::rand(6, 1);
    ASSERT_GE(v, 1);
    ASSERT_LE(v, 6);
    seen[v] = true;
  }
  for (int v = 1; v <= 6; ++v) {
    EXPECT_TRUE(seen[v]) << v;
  }
}

TEST(RandomRanges, RandIsTheIntegerPartOfTheUnitValueTimesTheRange) {
  const int32_t bounds[][2] = {{1, 6},          {0, 32767},        {0, 32768},
                               {-5, 70000},     {-1000000, 1000000}, {INT32_MIN, INT32_MAX},
                               {INT32_MAX, 0},  {INT32_MIN, -1}};
  seedRnd(99);
  for (int i = 0; i < 2000; ++i) {
    const int32_t lo = bounds[i % 8][0] < bounds[i % 8][1] ? bounds[i % 8][0] : bounds[i % 8][1];
    const int32_t hi = bounds[i % 8][0] < bounds[i % 8][1] ? bounds[i % 8][1] : bounds[i % 8][0];
    const int64_t next = (static_cast<int64_t>(randomState) * 48271) % 2147483647;
    const double r = static_cast<double>(next & 0xFFFF) / 65536.0 + 1.0 / 131072.0;
    const int64_t expected =
        lo + static_cast<int64_t>(r * static_cast<double>(static_cast<int64_t>(hi) - lo + 1));
    ASSERT_EQ(mathcmd::rand(bounds[i % 8][0], bounds[i % 8][1]), expected) << i;
  }
}

TEST(RandomRanges, RndStaysStrictlyInsideItsBounds) {
  for (int i = 0; i < 1000; ++i) {
    const float v = rnd(10, 0);
    ASSERT_GT(v, 0.0f);
    ASSERT_LT(v, 10.0f);
  }
  EXPECT_EQ(rnd(3, 3), 3.0f);
  const float down = rnd(5, -5);
  EXPECT_LT(down, 5.0f);
  EXPECT_GT(down, -5.0f);
}

TEST(MathCommands, TrigonometryWorksInDegrees) {
  const float tolerance = 1e-5f;
  EXPECT_NEAR(sinDeg(30), 0.5f, tolerance);
  EXPECT_NEAR(sinDeg(90), 1.0f, tolerance);
  EXPECT_NEAR(sinDeg(180), 0.0f, 1e-6f);
  EXPECT_NE(sinDeg(180), 0.0f);  // the factor is the single nearest pi/180
  EXPECT_NEAR(cosDeg(60), 0.5f, tolerance);
  EXPECT_NEAR(cosDeg(-180), -1.0f, tolerance);
  EXPECT_NEAR(tanDeg(45), 1.0f, tolerance);
  EXPECT_NEAR(asinDeg(0.5f), 30.0f, 1e-4f);
  EXPECT_NEAR(acosDeg(0.5f), 60.0f, 1e-4f);
  EXPECT_FLOAT_EQ(atanDeg(1), 45.0f);
  EXPECT_FLOAT_EQ(atan2Deg(1, 0), 90.0f);
  EXPECT_FLOAT_EQ(atan2Deg(0, -1), 180.0f);
  EXPECT_FLOAT_EQ(atan2Deg(-1, -1), -135.0f);
  EXPECT_TRUE(std::isnan(asinDeg(2)));
}

TEST(MathCommands, RootsRoundingAndLogarithms) {
  EXPECT_EQ(sqr(16), 4.0f);
  EXPECT_TRUE(std::isnan(sqr(-1)));
  EXPECT_EQ(floorOf(-1.5f), -2.0f);
  EXPECT_EQ(ceilOf(-1.5f), -1.0f);
  EXPECT_EQ(floorOf(2.0f), 2.0f);
  EXPECT_FLOAT_EQ(expOf(1), 2.7182817f);
  EXPECT_EQ(logOf(1), 0.0f);
  EXPECT_FLOAT_EQ(log10Of(1000), 3.0f);
  EXPECT_EQ(logOf(0), -INFINITY);
  EXPECT_TRUE(std::isnan(log10Of(-1)));
}

}  // namespace
