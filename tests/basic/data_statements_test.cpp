#include "basic/data_statements.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <string>

#include "basic/ks_error.h"
#include "basic/slots.h"
#include "compiled_data.h"

namespace {

using DataStatements = BasicRun;

ksData intItem(int32_t v) { return {kIntType, v}; }
ksData floatItem(float v) { return {kFloatType, std::bit_cast<int32_t>(v)}; }
ksData textItem(const char* text) { return {kCStringType, pointerSlot(text)}; }
constexpr ksData kEnd{0, 0};

template <typename Read>
std::string readError(Read read) {
  try {
    read();
  } catch (const ksEx& e) {
    return e.message ? e.message : "(silent)";
  }
  return "(none)";
}

TEST_F(DataStatements, IntegerItemsConvertToEveryKind) {
  ksData table[] = {intItem(-42), intItem(-42), intItem(-42), kEnd};
  ksRestore(table);
  EXPECT_EQ(ksReadInt(), -42);
  EXPECT_EQ(ksReadFloat(), -42.0f);
  EXPECT_EQ(ksStrTake(ksReadStr()), "-42");
}

TEST_F(DataStatements, FloatItemsTruncateTowardZero) {
  ksData table[] = {floatItem(2.9f), floatItem(-2.9f), floatItem(1.5f), floatItem(-1.5f), floatItem(1e10f), kEnd};
  ksRestore(table);
  EXPECT_EQ(ksReadInt(), 2);
  EXPECT_EQ(ksReadInt(), -2);
  EXPECT_EQ(ksReadFloat(), 1.5f);
  EXPECT_EQ(ksStrTake(ksReadStr()), "-1.5");
  EXPECT_EQ(ksReadInt(), INT_MIN);  // out of range: the integer indefinite
}

TEST_F(DataStatements, LiteralItemsAreReadAsText) {
  ksData table[] = {textItem("12abc"), textItem("12abc"), textItem("12abc"), textItem(" 1e3"), kEnd};
  ksRestore(table);
  EXPECT_EQ(ksReadInt(), 12);
  EXPECT_EQ(ksReadFloat(), 12.0f);
  EXPECT_EQ(ksStrTake(ksReadStr()), "12abc");
  EXPECT_EQ(ksReadFloat(), 1000.0f);
  EXPECT_EQ(ksStrActiveCount(), 0);
}

TEST_F(DataStatements, EndOfDataStaysUntilTheNextRestore) {
  ksData table[] = {intItem(1), kEnd};
  ksRestore(table);
  EXPECT_EQ(ksReadInt(), 1);
  EXPECT_EQ(readError(ksReadInt), "Out of data");
  EXPECT_EQ(readError(ksReadFloat), "Out of data");
  EXPECT_EQ(readError(ksReadStr), "Out of data");
  ksRestore(table);
  EXPECT_EQ(ksReadInt(), 1);
  EXPECT_EQ(ksStrActiveCount(), 0);
}

TEST_F(DataStatements, ReadBeforeAnyRestoreIsOutOfData) {
  EXPECT_EQ(readError(ksReadInt), "Out of data");
  EXPECT_EQ(readError(ksReadFloat), "Out of data");
  EXPECT_EQ(readError(ksReadStr), "Out of data");
}

TEST_F(DataStatements, UnknownItemTypeIsBadDataAndKeepsTheCursor) {
  ksData table[] = {{3, 0}, intItem(5), kEnd};
  ksRestore(table);
  EXPECT_EQ(readError(ksReadInt), "Bad data type");
  EXPECT_EQ(readError(ksReadFloat), "Bad data type");
  EXPECT_EQ(readError(ksReadStr), "Bad data type");
  ksRestore(&table[1]);
  EXPECT_EQ(ksReadInt(), 5);
}

TEST_F(DataStatements, RestoreCanPointIntoTheMiddle) {
  ksData table[] = {intItem(1), intItem(2), intItem(3), kEnd};
  ksRestore(&table[2]);
  EXPECT_EQ(ksReadInt(), 3);
  ksRestore(&table[1]);
  EXPECT_EQ(ksReadInt(), 2);
}

TEST(DataRuns, TheCursorDoesNotOutliveTheRun) {
  ksData table[] = {intItem(1), kEnd};
  ASSERT_TRUE(basic_create());
  ksRestore(table);
  basic_destroy();
  ASSERT_TRUE(basic_create());
  EXPECT_EQ(readError(ksReadInt), "Out of data");
  basic_destroy();
}

}  // namespace
