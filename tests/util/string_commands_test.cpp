// The string commands: results, the in-place ownership rule (slicing commands return
// their first argument's node; the active-string count tells what was released) and
// the two argument errors raised in every mode.
#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <string>

#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "util/string_commands.h"

using namespace stringcmd;

namespace {

ksStr* str(std::string_view text) { return ksStrNew(text); }
std::string take(ksStr* s) { return ksStrTake(s); }

// Runs an in-place command on a new string: it must hand back that same node, having
// released every other argument.
std::string inPlace(std::string_view text, const std::function<ksStr*(ksStr*)>& command) {
  ksStr* const subject = str(text);
  const int before = ksStrActiveCount();
  ksStr* const result = command(subject);
  EXPECT_EQ(result, subject);
  EXPECT_EQ(ksStrActiveCount(), before);
  return take(result);
}

// The message a command raises; the count of live strings must not change (arguments
// are neither released nor touched).
std::string errorOf(const std::function<void()>& command) {
  const int before = ksStrActiveCount();
  try {
    command();
  } catch (const ksEx& e) {
    EXPECT_EQ(ksStrActiveCount(), before);
    return e.message ? e.message : "(silent)";
  }
  return "(no error)";
}

TEST(StringSlicing, LeftRightAndMidClampToTheString) {
  EXPECT_EQ(inPlace("abc", [](ksStr* s) { return left(s, 0); }), "");
  EXPECT_EQ(inPlace("abc", [](ksStr* s) { return left(s, 2); }), "ab");
  EXPECT_EQ(inPlace("abc", [](ksStr* s) { return left(s, 5); }), "abc");
  EXPECT_EQ(inPlace("abc", [](ksStr* s) { return right(s, 2); }), "bc");
  EXPECT_EQ(inPlace("abc", [](ksStr* s) { return right(s, 10); }), "abc");
  EXPECT_EQ(inPlace("hello", [](ksStr* s) { return mid(s, 2, -1); }), "ello");
  EXPECT_EQ(inPlace("hello", [](ksStr* s) { return mid(s, 2, 3); }), "ell");
  EXPECT_EQ(inPlace("hello", [](ksStr* s) { return mid(s, 4, 30); }), "lo");
  EXPECT_EQ(inPlace("hello", [](ksStr* s) { return mid(s, 9, -1); }), "");
  EXPECT_EQ(inPlace("hello", [](ksStr* s) { return mid(s, 6, 1); }), "");
}

TEST(StringSlicing, BadCountsRaiseInEveryMode) {
  for (bool debug : {false, true}) {
    debugMode = debug;
    ksStr* s = str("abc");
    EXPECT_EQ(errorOf([&] { left(s, -1); }), "parameter must be positive");
    EXPECT_EQ(errorOf([&] { right(s, -1); }), "parameter must be positive");
    EXPECT_EQ(errorOf([&] { lset(s, -1); }), "parameter must be positive");
    EXPECT_EQ(errorOf([&] { rset(s, -5); }), "parameter must be positive");
    EXPECT_EQ(errorOf([&] { mid(s, 0, 1); }), "parameter must be greater than 0");
    ksStr* find = str("a");
    EXPECT_EQ(errorOf([&] { instr(s, find, 0); }), "parameter must be greater than 0");
    EXPECT_EQ(ksStrText(s), std::string("abc"));
    ksStrRelease(s);
    ksStrRelease(find);
  }
  debugMode = false;
}

TEST(StringSearch, InstrFindsFromOneBasedPositions) {
  auto at = [](const char* text, const char* find, int from) {
    const int before = ksStrActiveCount();
    const int32_t found = instr(str(text), str(find), from);
    EXPECT_EQ(ksStrActiveCount(), before);
    return found;
  };
  EXPECT_EQ(at("hello", "l", 1), 3);
  EXPECT_EQ(at("hello", "l", 4), 4);
  EXPECT_EQ(at("hello", "l", 6), 0);
  EXPECT_EQ(at("hello", "", 6), 6);
  EXPECT_EQ(at("hello", "", 7), 0);
  EXPECT_EQ(at("hello", "lo", 1), 4);
  EXPECT_EQ(at("hello", "L", 1), 0);
  EXPECT_EQ(at("", "", 1), 1);
}

TEST(StringSearch, ReplaceScansLeftToRightPastItsInsertions) {
  auto rep = [](const char* text, const char* from, const char* to) {
    return inPlace(text, [&](ksStr* s) { return replace(s, str(from), str(to)); });
  };
  EXPECT_EQ(rep("aaa", "aa", "b"), "ba");
  EXPECT_EQ(rep("abc", "b", "cbc"), "acbcc");
  EXPECT_EQ(rep("a.b.c", ".", ""), "abc");
  EXPECT_EQ(rep("abc", "x", "y"), "abc");
  EXPECT_EQ(rep("abc", "", "y"), "abc");
  EXPECT_EQ(rep("", "a", "b"), "");
  EXPECT_EQ(rep("xx", "x", "xx"), "xxxx");
}

TEST(StringCase, OnlyAsciiLettersChange) {
  EXPECT_EQ(inPlace("aZ09_\xE9\xC9", [](ksStr* s) { return upper(s); }), "AZ09_\xE9\xC9");
  EXPECT_EQ(inPlace("aZ09_\xE9\xC9", [](ksStr* s) { return lower(s); }), "az09_\xE9\xC9");
}

TEST(StringTrim, KeepsTheVisibleMiddle) {
  EXPECT_EQ(inPlace("  \tab cd\r", [](ksStr* s) { return trim(s); }), "ab cd");
  EXPECT_EQ(inPlace(" \x01\x7F\n", [](ksStr* s) { return trim(s); }), "");
  EXPECT_EQ(inPlace(std::string_view("\0x\0", 3), [](ksStr* s) { return trim(s); }), "x");
  EXPECT_EQ(inPlace("\xA0\xFF", [](ksStr* s) { return trim(s); }), "\xA0\xFF");
  EXPECT_EQ(inPlace("", [](ksStr* s) { return trim(s); }), "");
}

TEST(StringPadding, LSetAndRSetFitAField) {
  EXPECT_EQ(inPlace("abc", [](ksStr* s) { return lset(s, 5); }), "abc  ");
  EXPECT_EQ(inPlace("abc", [](ksStr* s) { return rset(s, 5); }), "  abc");
  EXPECT_EQ(inPlace("abc", [](ksStr* s) { return lset(s, 2); }), "ab");
  EXPECT_EQ(inPlace("abc", [](ksStr* s) { return rset(s, 2); }), "bc");
  EXPECT_EQ(inPlace("abc", [](ksStr* s) { return rset(s, 0); }), "");
}

TEST(StringRepeat, MakesANewStringAndReleasesItsArgument) {
  const int before = ksStrActiveCount();
  EXPECT_EQ(take(repeat(str("ab"), 3)), "ababab");
  EXPECT_EQ(take(repeat(str("ab"), 0)), "");
  EXPECT_EQ(take(repeat(str("ab"), -2)), "");
  EXPECT_EQ(take(repeat(str(""), 1000)), "");
  EXPECT_EQ(ksStrActiveCount(), before);
}

TEST(StringCodes, ChrAscAndLen) {
  const int before = ksStrActiveCount();
  EXPECT_EQ(take(chr(0)), std::string(1, '\0'));
  EXPECT_EQ(take(chr(65)), "A");
  EXPECT_EQ(take(chr(321)), "A");
  EXPECT_EQ(asc(str("")), -1);
  EXPECT_EQ(asc(str("\xC8z")), 200);
  EXPECT_EQ(len(str(std::string_view("a\0b", 3))), 3);
  EXPECT_EQ(len(str("")), 0);
  EXPECT_EQ(ksStrActiveCount(), before);
}

TEST(StringCodes, HexAndBinShowEveryBit) {
  EXPECT_EQ(take(hex(255)), "000000FF");
  EXPECT_EQ(take(hex(-1)), "FFFFFFFF");
  EXPECT_EQ(take(hex(0x1A2B3C4D)), "1A2B3C4D");
  EXPECT_EQ(take(bin(5)), std::string(29, '0') + "101");
  EXPECT_EQ(take(bin(INT32_MIN)), "1" + std::string(31, '0'));
}

// Whether text has the shape of pattern: '9' a digit, 'A' an upper-case and 'a' a
// lower-case letter, anything else itself.
bool shaped(const std::string& text, const std::string& pattern) {
  if (text.size() != pattern.size()) {
    return false;
  }
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char p = pattern[i];
    const bool ok = p == '9'   ? (c >= '0' && c <= '9')
                    : p == 'A' ? (c >= 'A' && c <= 'Z')
                    : p == 'a' ? (c >= 'a' && c <= 'z')
                               : c == p;
    if (!ok) {
      return false;
    }
  }
  return true;
}

TEST(StringClock, FixedTimesFormatWithLeadingZeros) {
  std::tm time{};
  time.tm_mday = 7;
  time.tm_mon = 11;
  time.tm_year = 126;
  time.tm_hour = 9;
  time.tm_min = 5;
  time.tm_sec = 3;
  EXPECT_EQ(dateText(time), "07 Dec 2026");
  EXPECT_EQ(timeText(time), "09:05:03");
  time.tm_mday = 31;
  time.tm_mon = 0;
  time.tm_hour = 23;
  EXPECT_EQ(dateText(time), "31 Jan 2026");
  EXPECT_EQ(timeText(time), "23:05:03");
}

TEST(StringClock, DateAndTimeInTheCLocaleFormat) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char expected[32];
  std::strftime(expected, sizeof expected, "%d %b %Y", &local);
  const std::string date = take(currentDate());
  EXPECT_TRUE(shaped(date, "99 Aaa 9999")) << date;
  // Equal unless midnight passed between the two readings.
  if (date != expected) {
    std::time_t later = std::time(nullptr);
    ::localtime_r(&later, &local);
    std::strftime(expected, sizeof expected, "%d %b %Y", &local);
    EXPECT_EQ(date, expected);
  }
  const std::string time = take(currentTime());
  EXPECT_TRUE(shaped(time, "99:99:99")) << time;
}

}  // namespace
