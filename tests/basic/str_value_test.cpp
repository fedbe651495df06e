#include "basic/str_value.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(StrValue, BorrowedLiteralIsMeasuredOnFirstUseAndCopiedBeforeWriting) {
  static const char literal[] = "literal";
  ksStrValue value;
  value.borrow(literal);
  EXPECT_FALSE(value.ownsText());
  EXPECT_EQ(value.size(), 7u);
  EXPECT_EQ(value.c_str(), literal);
  value.data()[0] = 'L';
  EXPECT_TRUE(value.ownsText());
  EXPECT_EQ(value.view(), "Literal");
  EXPECT_STREQ(literal, "literal");
}

TEST(StrValue, ABufferStaysWithTheValueAcrossBorrowAndClear) {
  ksStrValue value;
  value.assign("a longer text than the smallest buffer holds");
  const size_t capacity = value.capacity();
  const char* const buffer = value.c_str();
  value.clear();
  EXPECT_EQ(value.view(), "");
  value.borrow("short");
  value.append("!");
  EXPECT_EQ(value.view(), "short!");
  EXPECT_EQ(value.capacity(), capacity);
  EXPECT_EQ(value.c_str(), buffer);
  value.freeBuffer();
  EXPECT_EQ(value.capacity(), 0u);
  EXPECT_EQ(value.view(), "");
}

TEST(StrValue, AppendingItsOwnBytesSurvivesGrowth) {
  ksStrValue value;
  value.assign("ab");
  for (int i = 0; i < 6; ++i) {
    value.append(value.view());
  }
  EXPECT_EQ(value.size(), 128u);
  EXPECT_EQ(value.view().substr(0, 6), "ababab");
  EXPECT_EQ(value.c_str()[128], '\0');

  ksStrValue borrowed;
  borrowed.borrow("xy");
  borrowed.append(borrowed.view());
  EXPECT_EQ(borrowed.view(), "xyxy");
}

TEST(StrValue, BytesIncludingZerosAreKeptWithExplicitLength) {
  const std::string bytes("a\0b\xff", 4);
  ksStrValue value;
  value.assign(bytes);
  value.push_back('\0');
  EXPECT_EQ(value.size(), 5u);
  EXPECT_EQ(value.view(), std::string_view("a\0b\xff\0", 5));
  EXPECT_STREQ(value.c_str(), "a");
}

TEST(StrValue, KeepSlicesOwnedAndBorrowedText) {
  ksStrValue owned;
  owned.assign("0123456789");
  owned.keep(2, 3);
  EXPECT_EQ(owned.view(), "234");
  EXPECT_EQ(owned.c_str()[3], '\0');

  static const char literal[] = "0123456789";
  ksStrValue suffix;
  suffix.borrow(literal);
  suffix.keep(7, 3);
  EXPECT_EQ(suffix.view(), "789");
  EXPECT_EQ(suffix.c_str(), literal + 7);

  ksStrValue middle;
  middle.borrow(literal);
  middle.keep(1, 2);
  EXPECT_EQ(middle.view(), "12");
  EXPECT_STREQ(middle.c_str(), "12");
  EXPECT_STREQ(literal, "0123456789");
}

TEST(StrValue, AssignFromItsOwnBytesAndResizeBothWays) {
  ksStrValue value;
  value.assign("hello world");
  value.assign(value.view().substr(6));
  EXPECT_EQ(value.view(), "world");

  value.resize(8, '.');
  EXPECT_EQ(value.view(), "world...");
  value.resize(2);
  EXPECT_EQ(value.view(), "wo");

  ksStrValue borrowed;
  borrowed.borrow("literal");
  borrowed.resize(3);
  EXPECT_EQ(borrowed.view(), "lit");
  EXPECT_STREQ(borrowed.c_str(), "lit");
}

TEST(StrValue, CopyFromSharesBorrowedTextAndCopiesOwnedBytes) {
  static const char literal[] = "shared";
  ksStrValue source;
  source.borrow(literal);
  ksStrValue copy;
  copy.copyFrom(source);
  EXPECT_EQ(copy.c_str(), literal);

  source.append("!");
  ksStrValue second;
  second.copyFrom(source);
  EXPECT_NE(second.c_str(), source.c_str());
  second.data()[0] = 'S';
  EXPECT_EQ(source.view(), "shared!");
  EXPECT_EQ(second.view(), "Shared!");
  EXPECT_EQ(copy.view(), "shared");
}

}  // namespace
