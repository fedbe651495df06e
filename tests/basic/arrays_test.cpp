#include "basic/arrays.h"

#include <gtest/gtest.h>

#include "basic/block_registry.h"
#include "basic/ks_error.h"
#include "basic/string_pool.h"
#include "basic/string_entries.h"
#include "compiled_data.h"

namespace {

using Arrays = BasicRun;

std::string errorOf(void (*raise)()) {
  try {
    raise();
  } catch (const ksEx& e) {
    return e.message ? e.message : "(silent)";
  }
  return "(none)";
}

TEST_F(Arrays, DimTurnsBoundsIntoRunningProductsOfCounts) {
  // Array records are module data: they outlive the run.
  static CompiledArray<2> grid(kIntType, {3, 4});
  ksDimArray(grid.get());
  EXPECT_EQ(grid.sizes[0], 4);
  EXPECT_EQ(grid.sizes[1], 20);
  ASSERT_NE(grid.array.data, nullptr);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(grid.array.data[i], 0);
  }
  grid.array.data[19] = 7;  // the last slot belongs to the block

  static CompiledArray<3> cube(kFloatType, {1, 2, 3});
  ksDimArray(cube.get());
  EXPECT_EQ(cube.sizes[0], 2);
  EXPECT_EQ(cube.sizes[1], 6);
  EXPECT_EQ(cube.sizes[2], 24);
}

TEST_F(Arrays, ZeroBoundsGiveOneSlot) {
  static CompiledArray<2> single(kIntType, {0, 0});
  ksDimArray(single.get());
  EXPECT_EQ(single.sizes[0], 1);
  EXPECT_EQ(single.sizes[1], 1);
  ASSERT_NE(single.array.data, nullptr);
  EXPECT_EQ(single.array.data[0], 0);
}

TEST_F(Arrays, NegativeBoundGivesAnEmptyDimensionThatIsStillDimensioned) {
  static CompiledArray<2> empty(kStringType, {-1, 5});
  ksDimArray(empty.get());
  EXPECT_EQ(empty.sizes[0], 0);
  EXPECT_EQ(empty.sizes[1], 0);
  EXPECT_NE(empty.array.data, nullptr);
  ksUndimArray(empty.get());
  EXPECT_EQ(empty.array.data, nullptr);
}

TEST_F(Arrays, ImpossibleSizesAreAllocationFailures) {
  static CompiledArray<2> huge(kIntType, {65535, 65535});
  EXPECT_THROW(ksDimArray(huge.get()), std::bad_alloc);
  EXPECT_EQ(huge.array.data, nullptr);
}

TEST_F(Arrays, UndimReleasesStringsAndIsHarmlessTwice) {
  static CompiledArray<1> names(kStringType, {4});
  ksDimArray(names.get());
  ksStr** slots = reinterpret_cast<ksStr**>(names.array.data);
  ksStrStore(&slots[0], ksStrConst("a"));
  ksStrStore(&slots[4], ksStrConst("e"));
  ksStr* kept = ksStrConst("kept");
  EXPECT_EQ(ksStrActiveCount(), 3);
  const size_t blocks = blockCount();
  ksUndimArray(names.get());
  EXPECT_EQ(names.array.data, nullptr);
  EXPECT_EQ(ksStrActiveCount(), 1);
  EXPECT_EQ(blockCount(), blocks - 1);
  ksUndimArray(names.get());
  EXPECT_EQ(ksStrActiveCount(), 1);
  EXPECT_EQ(kept->value.view(), "kept");
}

TEST_F(Arrays, UndimReleasesObjectsButNotPlainValues) {
  // Type descriptors are module data: they outlive the run.
  static CompiledType<1> type({intTypeWord()});
  ksObj* o = ksObjNew(type.get());
  static CompiledArray<1> refs(kObjectType, {2});
  ksDimArray(refs.get());
  ksObjStore(reinterpret_cast<ksObj**>(&refs.array.data[1]), o);
  ksObjDelete(o);
  EXPECT_EQ(ksObjUnreleasedCount(), 1);
  ksUndimArray(refs.get());
  EXPECT_EQ(ksObjUnreleasedCount(), 0);

  static CompiledArray<1> numbers(kIntType, {2});
  ksDimArray(numbers.get());
  numbers.array.data[0] = 12345;
  ksUndimArray(numbers.get());
  EXPECT_EQ(numbers.array.data, nullptr);
}

TEST_F(Arrays, RedimAfterUndimStartsFromNewBounds) {
  static CompiledArray<1> list(kIntType, {9});
  ksDimArray(list.get());
  list.array.data[9] = 1;
  ksUndimArray(list.get());
  list.sizes[0] = 2;  // compiled code writes the new bound
  ksDimArray(list.get());
  EXPECT_EQ(list.sizes[0], 3);
  EXPECT_EQ(list.array.data[2], 0);
}

TEST_F(Arrays, VectorsAreZeroFilledAndReleaseTheirElements) {
  ksVecType strings = compiledVector(5, stringTypeWord());
  int32_t* block = ksVecAlloc(&strings);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(block[i], 0);
  }
  ksStrStore(reinterpret_cast<ksStr**>(&block[4]), ksStrConst("last"));
  ksVecFree(block, &strings);
  EXPECT_EQ(ksStrActiveCount(), 0);

  static CompiledType<1> type({intTypeWord()});
  ksVecType objects = compiledVector(2, &type.type.code);
  int32_t* refs = ksVecAlloc(&objects);
  ksObjStore(reinterpret_cast<ksObj**>(&refs[0]), ksObjNew(type.get()));
  EXPECT_EQ(ksObjFirst(type.get())->refs, 2);
  ksVecFree(refs, &objects);
  EXPECT_EQ(ksObjFirst(type.get())->refs, 1);
  EXPECT_EQ(blockCount(), 1u + stringBlockCount());  // the vector block is gone
}

TEST_F(Arrays, BoundsErrorsCarryTheirMessages) {
  EXPECT_EQ(errorOf(ksArrayBoundsEx), "Array index out of bounds");
  EXPECT_EQ(errorOf(ksVecBoundsEx), "Kestrel array index out of bounds");
}

TEST(ArrayRuns, ArraysLeftDimensionedAreUndimensionedForTheNextRun) {
  static CompiledArray<1> names(kStringType, {3});
  ASSERT_TRUE(basic_create());
  ksDimArray(names.get());
  ksStrStore(reinterpret_cast<ksStr**>(&names.array.data[0]), ksStrConst("x"));
  basic_destroy();
  EXPECT_EQ(names.array.data, nullptr);
  EXPECT_EQ(blockCount(), 0u);

  ASSERT_TRUE(basic_create());
  ksUndimArray(names.get());  // what a compiled Dim does first
  names.sizes[0] = 1;
  ksDimArray(names.get());
  EXPECT_EQ(names.sizes[0], 2);
  EXPECT_EQ(ksStrActiveCount(), 0);
  basic_destroy();
}

}  // namespace
