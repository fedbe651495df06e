// The string module: repetition, slicing, search and replace, case, trimming and
// padding, character codes, hexadecimal and binary text, and the date and time. It
// has no state; strings are bytes, one character each.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <string>

#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "runtime/entry.h"
#include "runtime/modules.h"
#include "util/string_commands.h"

namespace {

// Raised in every mode, before any argument is touched.
const char* const kMustBePositive = "parameter must be positive";
const char* const kMustBeAboveZero = "parameter must be greater than 0";

// Bytes 33 ... 126 and 128 ... 255 are visible; space, controls and DEL are not.
bool visible(char c) {
  const unsigned char code = static_cast<unsigned char>(c);
  return code > 32 && code != 127;
}

ksStr* localTimeText(std::string (*format)(const std::tm&)) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return ksStrNew(format(local));
}

}  // namespace

namespace stringcmd {

ksStr* repeat(ksStr* text, int32_t count) {
  const std::string_view piece = text->value.view();
  const uint64_t total =
      count > 0 ? static_cast<uint64_t>(piece.size()) * static_cast<uint64_t>(count) : 0;
  if (total > SIZE_MAX / 2) {
    throw std::bad_alloc();
  }
  ksStr* const result = ksStrNew();
  result->value.reserve(static_cast<size_t>(total));
  for (int32_t i = 0; total > 0 && i < count; ++i) {
    result->value.append(piece);
  }
  ksStrRelease(text);
  return result;
}

ksStr* left(ksStr* text, int32_t count) {
  if (count < 0) {
    runtimeError(kMustBePositive);
  }
  if (static_cast<size_t>(count) < text->value.size()) {
    text->value.keep(0, static_cast<size_t>(count));
  }
  return text;
}

ksStr* right(ksStr* text, int32_t count) {
  if (count < 0) {
    runtimeError(kMustBePositive);
  }
  const size_t size = text->value.size();
  if (static_cast<size_t>(count) < size) {
    text->value.keep(size - static_cast<size_t>(count), static_cast<size_t>(count));
  }
  return text;
}

// Left to right without overlap, resuming after the inserted text; an empty search
// text has no occurrences and leaves the string as it is.
ksStr* replace(ksStr* text, ksStr* from, ksStr* to) {
  const std::string_view find = from->value.view();
  const std::string_view with = to->value.view();
  const std::string_view value = text->value.view();
  if (!find.empty() && value.find(find) != std::string_view::npos) {
    std::string result;
    size_t p = 0;
    for (size_t found; (found = value.find(find, p)) != std::string_view::npos;) {
      result.append(value.substr(p, found - p));
      result.append(with);
      p = found + find.size();
    }
    result.append(value.substr(p));
    text->value.assign(result);
  }
  ksStrRelease(from);
  ksStrRelease(to);
  return text;
}

int32_t instr(ksStr* text, ksStr* find, int32_t from) {
  if (from <= 0) {
    runtimeError(kMustBeAboveZero);
  }
  const size_t found =
      text->value.view().find(find->value.view(), static_cast<size_t>(from) - 1);
  ksStrRelease(text);
  ksStrRelease(find);
  return found == std::string::npos ? 0 : static_cast<int32_t>(found) + 1;
}

ksStr* mid(ksStr* text, int32_t start, int32_t count) {
  if (start <= 0) {
    runtimeError(kMustBeAboveZero);
  }
  const size_t size = text->value.size();
  const size_t first = std::min(static_cast<size_t>(start) - 1, size);
  const size_t remaining = size - first;
  const size_t taken =
      count < 0 ? remaining : std::min(static_cast<size_t>(count), remaining);
  text->value.keep(first, taken);
  return text;
}

ksStr* upper(ksStr* text) {
  char* const bytes = text->value.data();
  for (size_t i = 0, size = text->value.size(); i < size; ++i) {
    if (bytes[i] >= 'a' && bytes[i] <= 'z') {
      bytes[i] = static_cast<char>(bytes[i] - 'a' + 'A');
    }
  }
  return text;
}

ksStr* lower(ksStr* text) {
  char* const bytes = text->value.data();
  for (size_t i = 0, size = text->value.size(); i < size; ++i) {
    if (bytes[i] >= 'A' && bytes[i] <= 'Z') {
      bytes[i] = static_cast<char>(bytes[i] - 'A' + 'a');
    }
  }
  return text;
}

ksStr* trim(ksStr* text) {
  const std::string_view value = text->value.view();
  size_t end = value.size();
  while (end > 0 && !visible(value[end - 1])) {
    --end;
  }
  size_t begin = 0;
  while (begin < end && !visible(value[begin])) {
    ++begin;
  }
  text->value.keep(begin, end - begin);
  return text;
}

ksStr* lset(ksStr* text, int32_t size) {
  if (size < 0) {
    runtimeError(kMustBePositive);
  }
  text->value.resize(static_cast<size_t>(size), ' ');
  return text;
}

ksStr* rset(ksStr* text, int32_t size) {
  if (size < 0) {
    runtimeError(kMustBePositive);
  }
  const size_t field = static_cast<size_t>(size);
  const size_t length = text->value.size();
  if (field < length) {
    text->value.keep(length - field, field);
  } else {
    text->value.resize(field);
    char* const bytes = text->value.data();
    std::memmove(bytes + (field - length), bytes, length);
    std::memset(bytes, ' ', field - length);
  }
  return text;
}

ksStr* chr(int32_t code) {
  const char byte = static_cast<char>(code & 0xFF);
  return ksStrNew(std::string_view(&byte, 1));
}

int32_t asc(ksStr* text) {
  const int32_t code =
      text->value.empty() ? -1 : static_cast<unsigned char>(text->value[0]);
  ksStrRelease(text);
  return code;
}

int32_t len(ksStr* text) {
  const int32_t length = static_cast<int32_t>(text->value.size());
  ksStrRelease(text);
  return length;
}

ksStr* hex(int32_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  char text[8];
  uint32_t bits = static_cast<uint32_t>(value);
  for (int i = 7; i >= 0; --i, bits >>= 4) {
    text[i] = kDigits[bits & 0xF];
  }
  return ksStrNew(std::string_view(text, 8));
}

ksStr* bin(int32_t value) {
  char text[32];
  uint32_t bits = static_cast<uint32_t>(value);
  for (int i = 31; i >= 0; --i, bits >>= 1) {
    text[i] = static_cast<char>('0' + (bits & 1));
  }
  return ksStrNew(std::string_view(text, 32));
}

// The C locale's "%d %b %Y" and "%H:%M:%S", whatever locale the process has set.
std::string dateText(const std::tm& time) {
  static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[32];
  std::snprintf(text, sizeof text, "%02d %s %d", time.tm_mday,
                kMonths[((time.tm_mon % 12) + 12) % 12], time.tm_year + 1900);
  return text;
}

std::string timeText(const std::tm& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.tm_hour, time.tm_min, time.tm_sec);
  return text;
}

ksStr* currentDate() { return localTimeText(&dateText); }

ksStr* currentTime() { return localTimeText(&timeText); }

}  // namespace stringcmd

bool string_create() { return true; }

void string_destroy() {}

void string_link(LinkCallback callback) {
  using namespace stringcmd;
  callback("$String$string%repeat", ksEntry<&repeat>());
  callback("$Left$string%count", ksEntry<&left>());
  callback("$Right$string%count", ksEntry<&right>());
  callback("$Replace$string$from$to", ksEntry<&stringcmd::replace>());
  callback("%Instr$string$find%from=1", ksEntry<&instr>());
  callback("$Mid$string%start%count=-1", ksEntry<&mid>());
  callback("$Upper$string", ksEntry<&upper>());
  callback("$Lower$string", ksEntry<&lower>());
  callback("$Trim$string", ksEntry<&trim>());
  callback("$LSet$string%size", ksEntry<&lset>());
  callback("$RSet$string%size", ksEntry<&rset>());
  callback("$Chr%ascii", ksEntry<&chr>());
  callback("%Asc$string", ksEntry<&asc>());
  callback("%Len$string", ksEntry<&len>());
  callback("$Hex%value", ksEntry<&hex>());
  callback("$Bin%value", ksEntry<&bin>());
  callback("$CurrentDate", ksEntry<&currentDate>());
  callback("$CurrentTime", ksEntry<&currentTime>());
}
