// The one set of number <-> text conversions every module uses wherever numbers
// become text or text becomes numbers.
#pragma once
#include <string>

std::string intToText(int value);       // "-2147483648", "42"
std::string floatToText(float value);   // "1.500000", "1.e+007", "-INFINITY", "NAN"
int textToInt(const char* text);        // leading blanks, sign, digits; 0 if none
float textToFloat(const char* text);    // decimal prefix only: no hex, "inf" or "nan"
