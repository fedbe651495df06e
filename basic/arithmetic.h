// Arithmetic entries compiled code calls instead of inlining them.
#pragma once
#include <cstdint>

int32_t ksAbs(int32_t value);
int32_t ksSgn(int32_t value);
int32_t ksMod(int32_t a, int32_t b);
float ksFAbs(float value);
float ksFSgn(float value);
float ksFMod(float a, float b);
float ksFPow(float a, float b);
