// Integer and float helpers of the language: Abs, Sgn, Mod, and their float forms.
#include "basic/arithmetic.h"

#include <climits>
#include <cmath>

#include "basic/ks_error.h"

int32_t ksAbs(int32_t value) {
  // Unsigned negation leaves the most negative integer as it is, without overflow.
  const uint32_t bits = static_cast<uint32_t>(value);
  return static_cast<int32_t>(value < 0 ? 0u - bits : bits);
}

int32_t ksSgn(int32_t value) {
  return (value > 0) - (value < 0);
}

// The divisor is checked here rather than left to a processor fault. The one
// overflowing case, the most negative integer Mod -1, has the exact remainder 0.
int32_t ksMod(int32_t a, int32_t b) {
  if (b == 0) {
    runtimeError("Integer divide by zero");
  }
  if (b == -1) {
    return 0;
  }
  return a % b;
}

float ksFAbs(float value) {
  return value >= 0.0f ? value : -value;
}

float ksFSgn(float value) {
  if (value > 0.0f) {
    return 1.0f;
  }
  return value == 0.0f ? 0.0f : -1.0f;
}

float ksFMod(float a, float b) {
  return static_cast<float>(std::fmod(static_cast<double>(a), static_cast<double>(b)));
}

float ksFPow(float a, float b) {
  return static_cast<float>(std::pow(static_cast<double>(a), static_cast<double>(b)));
}
