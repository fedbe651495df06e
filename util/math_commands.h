// The math module's handlers: trigonometry in degrees, roots, rounding, logarithms and
// the language's random-number generator.
#pragma once
#include <cstdint>

namespace mathcmd {

float sinDeg(float degrees);
float cosDeg(float degrees);
float tanDeg(float degrees);
float asinDeg(float value);
float acosDeg(float value);
float atanDeg(float value);
float atan2Deg(float y, float x);
float sqr(float value);
float floorOf(float value);
float ceilOf(float value);
float expOf(float value);
float logOf(float value);
float log10Of(float value);
float rnd(float from, float to);
int32_t rand(int32_t from, int32_t to);
void seedRnd(int32_t seed);

}  // namespace mathcmd

// The generator's state (1 ... 2^31 - 2) and its step, for the commands above.
extern int32_t randomState;
int32_t randomStep();
