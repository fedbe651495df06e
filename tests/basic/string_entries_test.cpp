#include "basic/string_entries.h"

#include <gtest/gtest.h>

#include <string>

#include "compiled_data.h"

namespace {

using StringEntries = BasicRun;

TEST_F(StringEntries, LoadCopiesTheSlotAndANullSlotReadsEmpty) {
  ksStr* slot = nullptr;
  ksStr* empty = ksStrLoad(&slot);
  EXPECT_EQ(empty->value.view(), "");
  EXPECT_EQ(slot, nullptr);
  ksStrStore(&slot, ksStrConst("held"));
  ksStr* copy = ksStrLoad(&slot);
  EXPECT_NE(copy, slot);
  copy->value.append("!");
  EXPECT_EQ(slot->value.view(), "held");
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
  EXPECT_EQ(joined->value.view(), "Hello, world");
  EXPECT_EQ(ksStrActiveCount(), 1);
  EXPECT_EQ(ksStrConcat(a, ksStrConst("")), a);
  EXPECT_EQ(a->value.view(), "Hello, world");
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
  EXPECT_EQ(i->value.view(), "-2147483648");
  EXPECT_EQ(f->value.view(), "1.500000");
  EXPECT_EQ(g->value.view(), "-1.5");
  EXPECT_EQ(ksStrActiveCount(), 3);
}

// A string made from a literal borrows it, yet behaves as a copy of its own.
TEST_F(StringEntries, ConstStringsAreIndependentOfTheLiteralAndOfEachOther) {
  static const char literal[] = "literal";
  ksStr* a = ksStrConst(literal);
  ksStr* b = ksStrConst(literal);
  EXPECT_EQ(a->value.size(), 7u);
  EXPECT_STREQ(ksStrText(a), "literal");
  a->value.append("!");
  a->value.data()[0] = 'L';
  EXPECT_EQ(a->value.view(), "Literal!");
  EXPECT_EQ(b->value.view(), "literal");
  EXPECT_STREQ(literal, "literal");

  // A loaded copy of a literal-held slot is independent too.
  ksStr* slot = nullptr;
  ksStrStore(&slot, b);
  ksStr* copy = ksStrLoad(&slot);
  copy = ksStrConcat(copy, ksStrConst(" copy"));
  EXPECT_EQ(copy->value.view(), "literal copy");
  EXPECT_EQ(slot->value.view(), "literal");
  ksStrRelease(copy);
  ksStrRelease(a);
  ksStrStore(&slot, nullptr);
  EXPECT_EQ(ksStrActiveCount(), 0);
}

}  // namespace
