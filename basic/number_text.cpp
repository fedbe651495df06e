// Number <-> text conversions shared by the whole runtime. Float text reproduces the
// Windows C library's `_fcvt` (six decimals) and `_gcvt` (seven significant digits)
// formats; both round half away from zero on the exact decimal value of the float.
#include "basic/number_text.h"

#include <bit>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace {

// The exact decimal expansion of a finite non-zero magnitude: significant digits
// (trailing zeros included) and the power of ten of the first one. A float's exact
// value never has more than 112 significant digits, so 120 are exact.
struct Decimal {
  std::string digits;
  int exponent;
};

Decimal exactDecimal(double magnitude) {
  char buffer[160];
  const int length = std::snprintf(buffer, sizeof buffer, "%.120e", magnitude);
  Decimal d;
  d.digits.reserve(121);
  int i = 0;
  for (; i < length && buffer[i] != 'e'; ++i) {
    if (buffer[i] != '.') {
      d.digits.push_back(buffer[i]);
    }
  }
  d.exponent = std::atoi(buffer + i + 1);
  return d;
}

// Keeps the first `count` digits, rounding half up on the next one. Returns true when
// the carry ran out of the top digit (the kept digits are then "1" followed by zeros,
// one digit longer).
bool roundDigits(std::string& digits, size_t count) {
  const bool up = count < digits.size() && digits[count] >= '5';
  digits.resize(count, '0');
  if (!up) {
    return false;
  }
  for (size_t i = count; i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return false;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
  return true;
}

// `_fcvt` with six decimals, laid out as "int.ffffff".
std::string sixDecimals(double magnitude) {
  Decimal d = exactDecimal(magnitude);
  // Digits at or above the 10^-6 place.
  const int kept = d.exponent + 7;
  std::string scaled;  // round(magnitude * 10^6)
  if (kept <= 0) {
    scaled = (kept == 0 && d.digits[0] >= '5') ? "1" : "0";
  } else {
    scaled = d.digits;
    roundDigits(scaled, static_cast<size_t>(kept));
  }
  if (scaled.size() < 7) {
    scaled.insert(0, 7 - scaled.size(), '0');
  }
  const size_t point = scaled.size() - 6;
  return scaled.substr(0, point) + "." + scaled.substr(point);
}

// `_gcvt` with seven significant digits.
std::string sevenDigits(double magnitude) {
  Decimal d = exactDecimal(magnitude);
  if (roundDigits(d.digits, 7)) {
    d.digits.pop_back();
    ++d.exponent;
  }
  const std::string& r = d.digits;
  const int m = d.exponent;
  auto stripZeros = [](std::string text) {
    while (!text.empty() && text.back() == '0') {
      text.pop_back();
    }
    return text;
  };
  if (m < -1 || m > 6) {
    const int e = m < 0 ? -m : m;
    char exponent[16];
    std::snprintf(exponent, sizeof exponent, "e%c%03d", m < 0 ? '-' : '+', e);
    return r.substr(0, 1) + "." + stripZeros(r.substr(1)) + exponent;
  }
  if (m == 6) {
    return r;
  }
  if (m == -1) {
    return "0." + stripZeros(r);
  }
  const size_t whole = static_cast<size_t>(m) + 1;
  return r.substr(0, whole) + "." + stripZeros(r.substr(whole));
}

bool isBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::string intToText(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%d", value);
  return buffer;
}

std::string floatToText(float value) {
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  const uint32_t exponent = (bits >> 23) & 0xFF;
  const uint32_t fraction = bits & 0x7FFFFF;
  const bool negative = (bits >> 31) != 0;
  if (exponent == 0xFF && fraction != 0) {
    return "NAN";
  }
  std::string body;
  const double magnitude = std::abs(static_cast<double>(value));
  if (exponent == 0xFF) {
    body = "INFINITY";
  } else if (exponent == 0 && fraction == 0) {
    body = "0.000000";
  } else if (value < 0.000001f || value > 9999999.0f) {
    body = sevenDigits(magnitude);
  } else {
    body = sixDecimals(magnitude);
  }
  return negative ? "-" + body : body;
}

// Overflow saturates at INT_MAX / INT_MIN, as the C library's strtol does.
int textToInt(const char* text) {
  if (!text) {
    return 0;
  }
  const char* p = text;
  while (isBlank(*p)) {
    ++p;
  }
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') {
    ++p;
  }
  int64_t magnitude = 0;
  for (; isDigit(*p); ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > int64_t{INT_MAX} + 1) {
      magnitude = int64_t{INT_MAX} + 1;
    }
  }
  const int64_t result = negative ? -magnitude : magnitude;
  if (result > INT_MAX) {
    return INT_MAX;
  }
  return static_cast<int>(result);
}

// Only the decimal form is read: the longest prefix of blanks, sign, digits with an
// optional point, and an exponent that has at least one digit. Hexadecimal, "inf"
// and "nan" spellings have no decimal prefix and read as 0.
float textToFloat(const char* text) {
  if (!text) {
    return 0.0f;
  }
  const char* p = text;
  while (isBlank(*p)) {
    ++p;
  }
  std::string number;
  if (*p == '-' || *p == '+') {
    number.push_back(*p++);
  }
  bool anyDigit = false;
  for (; isDigit(*p); ++p) {
    number.push_back(*p);
    anyDigit = true;
  }
  if (*p == '.') {
    number.push_back(*p++);
    for (; isDigit(*p); ++p) {
      number.push_back(*p);
      anyDigit = true;
    }
  }
  if (!anyDigit) {
    return 0.0f;
  }
  if (*p == 'e' || *p == 'E') {
    const char* q = p + 1;
    if (*q == '-' || *q == '+') {
      ++q;
    }
    if (isDigit(*q)) {
      number.append(p, q);
      for (; isDigit(*q); ++q) {
        number.push_back(*q);
      }
    }
  }
  // The prefix is plain decimal, so the "C" locale's reading is the only one wanted.
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
  return static_cast<float>(strtod_l(number.c_str(), nullptr, cLocale));
}
