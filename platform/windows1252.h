// Windows-1252, the code page of the bytes in program text: each byte's Unicode code point.
#pragma once

#include <cstdint>

// The code point of a byte. The five bytes the code page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 control of the same value, as Windows maps them.
uint32_t windows1252ToUnicode(uint8_t byte);
