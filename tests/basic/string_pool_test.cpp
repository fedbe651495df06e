#include "basic/string_pool.h"

#include <gtest/gtest.h>

#include <vector>

#include "basic/block_registry.h"
#include "compiled_data.h"

namespace {

using StringPool = BasicRun;

std::vector<ksStr*> makeStrings(int count) {
  std::vector<ksStr*> strings;
  for (int i = 0; i < count; ++i) {
    strings.push_back(ksStrNew("s"));
  }
  return strings;
}

TEST_F(StringPool, BlocksOf512NodesAreTakenOnlyWhenTheFreeListIsEmpty) {
  std::vector<ksStr*> strings = makeStrings(513);
  EXPECT_EQ(stringBlockCount(), 2u);
  EXPECT_EQ(blockCount(), 2u);
  EXPECT_EQ(ksStrActiveCount(), 513);
  for (ksStr* s : strings) {
    ksStrRelease(s);
  }
  EXPECT_EQ(ksStrActiveCount(), 0);
  strings = makeStrings(513);
  EXPECT_EQ(stringBlockCount(), 2u);
  for (ksStr* s : strings) {
    ksStrRelease(s);
  }
}

TEST_F(StringPool, ReleasedNodesAreReusedFirstReleasedLast) {
  // Use up the first block exactly, so that the free list holds only what is released.
  std::vector<ksStr*> strings = makeStrings(kStringsPerBlock);
  ksStr* first = strings[10];
  ksStr* second = strings[3];
  ksStrRelease(first);
  ksStrRelease(second);
  EXPECT_EQ(ksStrNew("a"), first);
  EXPECT_EQ(ksStrNew("b"), second);
  EXPECT_EQ(stringBlockCount(), 1u);
  EXPECT_EQ(second->value.view(), "b");
}

TEST_F(StringPool, UsedListHoldsLiveStringsOldestFirst) {
  ksStr* a = ksStrNew("a");
  ksStr* b = ksStrNew("b");
  ksStr* c = ksStrNew("c");
  ksStrRelease(b);
  const ksStr* list = stringUsedList();
  std::vector<const ksStr*> order;
  for (const ksStr* s = list->next; s != list; s = s->next) {
    order.push_back(s);
  }
  EXPECT_EQ(order, (std::vector<const ksStr*>{a, c}));
  EXPECT_EQ(list->prev, c);
}

TEST_F(StringPool, ReusedNodesStartEmptyWhateverTheyHeldBefore) {
  std::vector<ksStr*> strings = makeStrings(kStringsPerBlock);
  strings[0]->value.resize(5000, 'x');  // larger than a node keeps
  strings[1]->value.resize(100, 'y');
  ksStrRelease(strings[0]);
  ksStrRelease(strings[1]);
  ksStr* reused = ksStrNew();
  EXPECT_EQ(reused, strings[0]);
  EXPECT_EQ(reused->value.view(), "");
  EXPECT_LT(reused->value.capacity(), 5000u);
  ksStr* kept = ksStrNew();
  EXPECT_EQ(kept, strings[1]);
  EXPECT_EQ(kept->value.view(), "");
  EXPECT_GE(kept->value.capacity(), 100u);  // a modest buffer stays with its node
}

TEST_F(StringPool, ValuesAreIndependentByteStrings) {
  const std::string bytes("a\0b\xff", 4);
  ksStr* s = ksStrNew(std::string_view(bytes));
  EXPECT_EQ(s->value.view(), bytes);
  EXPECT_STREQ(ksStrText(s), "a");
  EXPECT_STREQ(ksStrText(nullptr), "");
  EXPECT_EQ(ksStrTake(s), bytes);
  EXPECT_EQ(ksStrActiveCount(), 0);
  ksStrRelease(nullptr);
  EXPECT_EQ(ksStrActiveCount(), 0);
}

TEST(StringPoolRuns, DestroyLeavesNothingAndTheNextRunStartsAtZero) {
  ASSERT_TRUE(basic_create());
  makeStrings(600);
  ksStrRelease(ksStrNew("freed"));
  EXPECT_EQ(ksStrActiveCount(), 600);
  basic_destroy();
  EXPECT_EQ(ksStrActiveCount(), 0);
  EXPECT_EQ(blockCount(), 0u);
  EXPECT_EQ(stringUsedList()->next, stringUsedList());

  ASSERT_TRUE(basic_create());
  EXPECT_EQ(ksStrActiveCount(), 0);
  ksStr* s = ksStrNew("second run");
  EXPECT_EQ(s->value.view(), "second run");
  EXPECT_EQ(ksStrActiveCount(), 1);
  EXPECT_EQ(stringBlockCount(), 1u);
  basic_destroy();
}

}  // namespace
