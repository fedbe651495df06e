#include "basic/string_entries.h"

#include <gtest/gtest.h>

#include <string>

#include "compiled_data.h"

namespace {

using StringEntries = BasicRun;

TEST_F(StringEntries, LoadCopiesTheSlotAndANullSlotReadsEmpty) {
  ksStr* slot = nullptr;
  ksStr* empty = ksStrLoad(&slot);
  EXPECT_EQ(empty->value, "");
  EXPECT_EQ(slot, nullptr);
  ksStrStore(&slot, ksStrConst("held"));
  ksStr* copy = ksStrLoad(&slot);
  EXPECT_NE(copy, slot);
  copy->value += "!";
  EXPECT_EQ(slot->value, "held");
  EXPECT_EQ(ksStrActiveCount(), 3);
}

TEST_F(StringEntries, StoreReleasesExactlyTheOldString) {
  ksStr* slot = nullptr;
  ksStrStore(&slot, ksStrConst("one"));
  EXPECT_EQ(ksStrActiveCount(), 1);
  ksStr* two = ksStrConst("two");
  ksStrStore(&slot, two);
  EXPECT_EQ(slot, two);
  EXPECT_EQ(ksStrActiveCount(), 1);
  ksStrStore(&slot, nullptr);
  EXPECT_EQ(ksStrActiveCount(), 0);
}

TEST_F(StringEntries, CompareIsBytewiseUnsignedAndReleasesBoth) {
  EXPECT_LT(ksStrCompare(ksStrConst("abc"), ksStrConst("abd")), 0);
  EXPECT_LT(ksStrCompare(ksStrConst("ab"), ksStrConst("abc")), 0);
  EXPECT_GT(ksStrCompare(ksStrConst("abc"), ksStrConst("ab")), 0);
  EXPECT_EQ(ksStrCompare(ksStrConst(""), ksStrConst("")), 0);
  EXPECT_EQ(ksStrCompare(ksStrConst("same"), ksStrConst("same")), 0);
  EXPECT_GT(ksStrCompare(ksStrConst("\xe9"), ksStrConst("z")), 0);
  EXPECT_LT(ksStrCompare(ksStrNew(std::string_view("a\0a", 3)), ksStrNew(std::string_view("a\0b", 3))), 0);
  EXPECT_EQ(ksStrCompare(nullptr, ksStrConst("")), 0);
  EXPECT_LT(ksStrCompare(nullptr, ksStrConst("x")), 0);
  EXPECT_EQ(ksStrActiveCount(), 0);
}

TEST_F(StringEntries, ConcatAppendsToTheFirstAndReleasesTheSecond) {
  ksStr* a = ksStrConst("Hello, ");
  ksStr* joined = ksStrConcat(a, ksStrConst("world"));
  EXPECT_EQ(joined, a);
  EXPECT_EQ(joined->value, "Hello, world");
  EXPECT_EQ(ksStrActiveCount(), 1);
  EXPECT_EQ(ksStrConcat(a, ksStrConst("")), a);
  EXPECT_EQ(a->value, "Hello, world");
  EXPECT_EQ(ksStrActiveCount(), 1);
}

TEST_F(StringEntries, NumberConversionsReleaseTheirArgument) {
  EXPECT_EQ(ksStrToInt(ksStrConst(" 42abc")), 42);
  EXPECT_EQ(ksStrToInt(ksStrConst("abc")), 0);
  EXPECT_EQ(ksStrToFloat(ksStrConst("1e3")), 1000.0f);
  EXPECT_EQ(ksStrToFloat(ksStrConst("-0.25")), -0.25f);
  EXPECT_EQ(ksStrActiveCount(), 0);
}

TEST_F(StringEntries, NumbersBecomeNewStrings) {
  ksStr* i = ksStrFromInt(-2147483647 - 1);
  ksStr* f = ksStrFromFloat(1.5f);
  ksStr* g = ksStrFromFloat(-1.5f);
  EXPECT_EQ(i->value, "-2147483648");
  EXPECT_EQ(f->value, "1.500000");
  EXPECT_EQ(g->value, "-1.5");
  EXPECT_EQ(ksStrActiveCount(), 3);
}

TEST_F(StringEntries, ConstCopiesTheLiteral) {
  char literal[] = "literal";
  ksStr* s = ksStrConst(literal);
  literal[0] = 'L';
  EXPECT_EQ(s->value, "literal");
}

}  // namespace
