// The millisecond clock (monotonic, wrapping at 2^32) and sleeping.
#pragma once
#include <cstdint>

uint32_t monotonicMillis();
void sleepMillis(int milliseconds);
