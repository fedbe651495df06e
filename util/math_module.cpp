// The math module: single-precision math commands working in degrees, and the
// process-wide generator (Park and Miller's minimal standard, multiplier 48,271,
// evaluated with Schrage's method) that makes every seeded sequence reproducible.
#include <bit>
#include <cmath>

#include "runtime/entry.h"
#include "runtime/modules.h"
#include "util/math_commands.h"

// Reset to 4,660 at every program start.
int32_t randomState = 0x1234;

namespace {

// The singles nearest pi/180 and 180/pi, by bit pattern.
const float kDegToRad = std::bit_cast<float>(0x3C8EFA35u);
const float kRadToDeg = std::bit_cast<float>(0x42652EE1u);

// Trigonometry applies to the product held at extended precision.
double radians(float degrees) {
  return static_cast<double>(degrees) * static_cast<double>(kDegToRad);
}

float toDegrees(double radiansValue) {
  return static_cast<float>(radiansValue * static_cast<double>(kRadToDeg));
}

// Strictly inside (0, 1), in steps of 1/65,536: the new state's low 16 bits.
float unitValue() {
  return static_cast<float>(randomStep() & 0xFFFF) / 65536.0f + 1.0f / 131072.0f;
}

}  // namespace

// Schrage's method with q = 44,488 and r = 3,399 (m = 48,271 q + r): hi = state div q,
// lo = state mod q, state = 48,271 lo - 3,399 hi, plus m when negative. Since
// 48,271 lo - 3,399 hi = 48,271 state - m hi, and that value lies strictly between -m
// and m, it is evaluated in wrapping 32-bit arithmetic without the dependent multiply
// for lo; the result is the same.
int32_t randomStep() {
  constexpr uint32_t kModulus = 2147483647u;
  const uint32_t state = static_cast<uint32_t>(randomState);
  const uint32_t hi = state / 44488u;
  // m hi = (hi << 31) - hi, grouped so the shift runs beside the other terms.
  const int32_t next = static_cast<int32_t>((48271u * state + hi) - (hi << 31));
  randomState = next < 0 ? next + static_cast<int32_t>(kModulus) : next;
  return randomState;
}

namespace mathcmd {

float sinDeg(float degrees) { return static_cast<float>(std::sin(radians(degrees))); }

float cosDeg(float degrees) { return static_cast<float>(std::cos(radians(degrees))); }

float tanDeg(float degrees) { return static_cast<float>(std::tan(radians(degrees))); }

float asinDeg(float value) { return toDegrees(std::asin(static_cast<double>(value))); }

float acosDeg(float value) { return toDegrees(std::acos(static_cast<double>(value))); }

float atanDeg(float value) { return toDegrees(std::atan(static_cast<double>(value))); }

float atan2Deg(float y, float x) {
  return toDegrees(std::atan2(static_cast<double>(y), static_cast<double>(x)));
}

float sqr(float value) { return static_cast<float>(std::sqrt(static_cast<double>(value))); }

float floorOf(float value) { return std::floor(value); }

float ceilOf(float value) { return std::ceil(value); }

float expOf(float value) { return static_cast<float>(std::exp(static_cast<double>(value))); }

float logOf(float value) { return static_cast<float>(std::log(static_cast<double>(value))); }

float log10Of(float value) {
  return static_cast<float>(std::log10(static_cast<double>(value)));
}

float rnd(float from, float to) {
  const double r = unitValue();
  return static_cast<float>(from + r * (static_cast<double>(to) - from));
}

// r is (2k + 1) / 2^17 for the state's low 16 bits k, so the integer part of
// r * (hi - lo + 1) is exactly ((2k + 1) * (hi - lo + 1)) >> 17, computed here in
// integers: the same results, and even the widest range (-2^31 ... 2^31 - 1) cannot
// overflow.
int32_t rand(int32_t from, int32_t to) {
  const int32_t lo = from < to ? from : to;
  const int32_t hi = from < to ? to : from;
  const uint32_t span = static_cast<uint32_t>(hi) - static_cast<uint32_t>(lo);  // range - 1
  const uint32_t odd = 2u * static_cast<uint32_t>(randomStep() & 0xFFFF) + 1u;
  // odd < 2^17, so ranges up to 2^15 multiply within 32 bits.
  const uint32_t offset =
      span < 0x8000u ? (odd * (span + 1u)) >> 17
                     : static_cast<uint32_t>((static_cast<uint64_t>(odd) * span + odd) >> 17);
  return static_cast<int32_t>(static_cast<uint32_t>(lo) + offset);
}

void seedRnd(int32_t seed) {
  randomState = seed & 0xFFFF;
  if (randomState == 0) {
    randomState = 1;
  }
}

}  // namespace mathcmd

bool math_create() {
  randomState = 0x1234;
  return true;
}

void math_destroy() {}

void math_link(LinkCallback callback) {
  using namespace mathcmd;
  callback("#Sin#degrees", ksEntry<&sinDeg>());
  callback("#Cos#degrees", ksEntry<&cosDeg>());
  callback("#Tan#degrees", ksEntry<&tanDeg>());
  callback("#ASin#float", ksEntry<&asinDeg>());
  callback("#ACos#float", ksEntry<&acosDeg>());
  callback("#ATan#float", ksEntry<&atanDeg>());
  callback("#ATan2#floata#floatb", ksEntry<&atan2Deg>());
  callback("#Sqr#float", ksEntry<&sqr>());
  callback("#Floor#float", ksEntry<&floorOf>());
  callback("#Ceil#float", ksEntry<&ceilOf>());
  callback("#Exp#float", ksEntry<&expOf>());
  callback("#Log#float", ksEntry<&logOf>());
  callback("#Log10#float", ksEntry<&log10Of>());
  callback("#Rnd#from#to=0", ksEntry<&rnd>());
  callback("%Rand%from%to=1", ksEntry<&mathcmd::rand>());
  callback("SeedRnd%seed", ksEntry<&seedRnd>());
}
