#include "basic/objects.h"

#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

#include "basic/block_registry.h"
#include "basic/ks_error.h"
#include "basic/string_pool.h"
#include "basic/slots.h"
#include "basic/string_entries.h"
#include "compiled_data.h"

namespace {

// Type Thing: number%, size#, name$, link.Thing
class Objects : public BasicRun {
 protected:
  Objects()
      : thing({intTypeWord(), floatTypeWord(), stringTypeWord(), nullptr}),
        other({intTypeWord()}) {
    thing.fields[3] = &thing.type.code;
  }

  std::vector<ksObj*> live(ksType* type) {
    std::vector<ksObj*> order;
    for (ksObj* o = ksObjFirst(type); o; o = ksObjNext(o)) {
      order.push_back(o);
    }
    return order;
  }

  std::vector<ksObj*> liveBackwards(ksType* type) {
    std::vector<ksObj*> order;
    for (ksObj* o = ksObjLast(type); o; o = ksObjPrev(o)) {
      order.push_back(o);
    }
    return order;
  }

  static void setName(ksObj* o, const char* name) { ksStrStore(reinterpret_cast<ksStr**>(&o->fields[2]), ksStrConst(name)); }
  static void setLink(ksObj* o, ksObj* target) { ksObjStore(reinterpret_cast<ksObj**>(&o->fields[3]), target); }
  static std::string text(ksObj* o) { return ksStrTake(ksObjToStr(o)); }

  CompiledType<4> thing;
  CompiledType<1> other;
};

using Objs = std::vector<ksObj*>;

TEST_F(Objects, NewAppendsZeroedRecordsInCreationOrder) {
  ksObj* a = ksObjNew(thing.get());
  ksObj* b = ksObjNew(thing.get());
  ksObj* c = ksObjNew(thing.get());
  EXPECT_EQ(live(thing.get()), (Objs{a, b, c}));
  EXPECT_EQ(liveBackwards(thing.get()), (Objs{c, b, a}));
  EXPECT_EQ(a->refs, 1);
  EXPECT_EQ(a->type, thing.get());
  EXPECT_EQ(a->fields, reinterpret_cast<int32_t*>(a + 1));
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(b->fields[i], 0);
  }
  EXPECT_EQ(ksObjActiveCount(), 3);
  EXPECT_EQ(ksObjUnreleasedCount(), 3);
  EXPECT_EQ(ksObjFirst(other.get()), nullptr);
  EXPECT_EQ(ksObjLast(other.get()), nullptr);
}

TEST_F(Objects, EachTypeTakesBlocksOf512Records) {
  for (int i = 0; i < 513; ++i) {
    ksObjNew(thing.get());
  }
  EXPECT_EQ(blockCount(), 2u);
  ksObjNew(other.get());
  EXPECT_EQ(blockCount(), 3u);
  EXPECT_EQ(live(thing.get()).size(), 513u);
}

TEST_F(Objects, DeleteWithoutOtherReferencesFreesTheRecordForReuse) {
  std::vector<ksObj*> all;
  for (int i = 0; i < 512; ++i) {
    all.push_back(ksObjNew(thing.get()));
  }
  all[7]->fields[0] = 42;
  all[7]->fields[1] = std::bit_cast<int32_t>(2.5f);
  ksObjDelete(all[7]);
  EXPECT_EQ(ksObjActiveCount(), 511);
  EXPECT_EQ(ksObjUnreleasedCount(), 511);
  ksObj* again = ksObjNew(thing.get());
  EXPECT_EQ(again, all[7]);
  EXPECT_EQ(live(thing.get()).back(), again);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(again->fields[i], 0) << "slot " << i << " of a reused record";
  }
  EXPECT_EQ(blockCount(), 1u);
}

TEST_F(Objects, DeletedShellHeldByAVariableIsInvisibleUntilReleased) {
  ksObj* a = ksObjNew(thing.get());
  ksObj* b = ksObjNew(thing.get());
  ksObj* c = ksObjNew(thing.get());
  ksObj* var = nullptr;
  ksObjStore(&var, b);
  EXPECT_EQ(ksObjToHandle(b), 1);
  ksObjDelete(b);
  EXPECT_EQ(b->fields, nullptr);
  EXPECT_EQ(live(thing.get()), (Objs{a, c}));
  EXPECT_EQ(liveBackwards(thing.get()), (Objs{c, a}));
  EXPECT_EQ(ksObjCompare(var, nullptr), 0);
  EXPECT_EQ(text(var), "[NULL]");
  EXPECT_EQ(ksObjToHandle(var), 0);
  EXPECT_EQ(ksObjFromHandle(1, thing.get()), nullptr);
  EXPECT_EQ(ksObjActiveCount(), 2);
  EXPECT_EQ(ksObjUnreleasedCount(), 3);
  ksObjDelete(var);  // already deleted: nothing
  EXPECT_EQ(ksObjActiveCount(), 2);

  ksObj* loop = nullptr;
  std::vector<ksObj*> seen;
  for (int more = ksObjEachFirst(&loop, thing.get()); more; more = ksObjEachNext(&loop)) {
    seen.push_back(loop);
  }
  EXPECT_EQ(seen, (Objs{a, c}));
  EXPECT_EQ(loop, nullptr);

  ksObjStore(&var, nullptr);
  EXPECT_EQ(ksObjUnreleasedCount(), 2);
  EXPECT_EQ(a->next, c);
  EXPECT_EQ(c->prev, a);
}

TEST_F(Objects, DeleteReleasesFieldStringsAndObjects) {
  ksObj* a = ksObjNew(thing.get());
  ksObj* b = ksObjNew(thing.get());
  setName(a, "alpha");
  setLink(a, b);
  EXPECT_EQ(b->refs, 2);
  EXPECT_EQ(ksStrActiveCount(), 1);
  ksObjDelete(a);
  EXPECT_EQ(ksStrActiveCount(), 0);
  EXPECT_EQ(b->refs, 1);
  ksObjDelete(b);
  EXPECT_EQ(ksObjActiveCount(), 0);
  EXPECT_EQ(ksObjUnreleasedCount(), 0);
}

TEST_F(Objects, StoreCountsTheNewReferenceBeforeReleasingTheOld) {
  ksObj* a = ksObjNew(thing.get());
  ksObj* slot = nullptr;
  ksObjStore(&slot, a);
  EXPECT_EQ(a->refs, 2);
  ksObjStore(&slot, a);
  EXPECT_EQ(a->refs, 2);
  // The slot held the last reference to a shell: storing it into itself keeps it.
  ksObjDelete(a);
  ksObjStore(&slot, a);
  EXPECT_EQ(a->refs, 1);
  EXPECT_EQ(ksObjUnreleasedCount(), 1);
  ksObjStore(&slot, nullptr);
  EXPECT_EQ(ksObjUnreleasedCount(), 0);
  ksObjRelease(nullptr);
}

TEST_F(Objects, CompareLooksAtTheFieldsPointers) {
  ksObj* a = ksObjNew(thing.get());
  ksObj* b = ksObjNew(thing.get());
  EXPECT_EQ(ksObjCompare(a, a), 0);
  EXPECT_EQ(ksObjCompare(a, b), 1);
  EXPECT_EQ(ksObjCompare(a, nullptr), 1);
  EXPECT_EQ(ksObjCompare(nullptr, nullptr), 0);
  ksObj* holdA = nullptr;
  ksObj* holdB = nullptr;
  ksObjStore(&holdA, a);
  ksObjStore(&holdB, b);
  ksObjDelete(a);
  ksObjDelete(b);
  EXPECT_EQ(ksObjCompare(holdA, holdB), 0);
  EXPECT_EQ(ksObjCompare(nullptr, holdB), 0);
}

TEST_F(Objects, InsertBeforeAndAfterMoveWithinTheList) {
  ksObj* a = ksObjNew(thing.get());
  ksObj* b = ksObjNew(thing.get());
  ksObj* c = ksObjNew(thing.get());
  EXPECT_EQ(ksObjInsAfter(a, a), a);
  EXPECT_EQ(ksObjInsBefore(b, b), b);
  EXPECT_EQ(live(thing.get()), (Objs{a, b, c}));
  EXPECT_EQ(ksObjInsBefore(c, a), c);  // last before first
  EXPECT_EQ(live(thing.get()), (Objs{c, a, b}));
  EXPECT_EQ(ksObjFirst(thing.get()), c);
  EXPECT_EQ(ksObjInsAfter(c, b), c);  // first after last
  EXPECT_EQ(live(thing.get()), (Objs{a, b, c}));
  EXPECT_EQ(ksObjLast(thing.get()), c);
  ksObjInsAfter(a, b);
  EXPECT_EQ(live(thing.get()), (Objs{b, a, c}));
  EXPECT_EQ(liveBackwards(thing.get()), (Objs{c, a, b}));
  ksObjInsBefore(c, b);
  EXPECT_EQ(live(thing.get()), (Objs{c, b, a}));
}

TEST_F(Objects, InsertAcrossTypesIsIgnored) {
  ksObj* a = ksObjNew(thing.get());
  ksObj* x = ksObjNew(other.get());
  EXPECT_EQ(ksObjInsAfter(x, a), x);
  EXPECT_EQ(live(thing.get()), (Objs{a}));
  EXPECT_EQ(live(other.get()), (Objs{x}));
}

TEST_F(Objects, DeleteEachDeletesMutuallyReferencingObjects) {
  ksObj* a = ksObjNew(thing.get());
  ksObj* b = ksObjNew(thing.get());
  ksObj* c = ksObjNew(thing.get());
  setLink(a, b);
  setLink(b, a);
  setLink(c, c);
  ksObjNew(other.get());
  ksObjDeleteEach(thing.get());
  EXPECT_EQ(ksObjFirst(thing.get()), nullptr);
  EXPECT_EQ(ksObjActiveCount(), 1);
  EXPECT_EQ(ksObjUnreleasedCount(), 1);
  EXPECT_EQ(thing.type.used.next, &thing.type.used);
}

TEST_F(Objects, DeleteEachSurvivesFreeingTheShellAfterTheCurrentObject) {
  ksObj* a = ksObjNew(thing.get());
  ksObj* b = ksObjNew(thing.get());
  ksObjNew(thing.get());
  setLink(a, b);
  ksObjDelete(b);  // a shell now, held only by a's field
  ksObjDeleteEach(thing.get());
  EXPECT_EQ(ksObjActiveCount(), 0);
  EXPECT_EQ(ksObjUnreleasedCount(), 0);
  EXPECT_EQ(ksObjFirst(thing.get()), nullptr);
  EXPECT_EQ(thing.type.freeList.next->type, thing.get());
}

TEST_F(Objects, EachLoopMayDeleteTheCurrentObject) {
  std::vector<ksObj*> all;
  for (int i = 0; i < 4; ++i) {
    all.push_back(ksObjNew(thing.get()));
  }
  ksObj* loop = nullptr;
  std::vector<ksObj*> seen;
  for (int more = ksObjEachFirst(&loop, thing.get()); more; more = ksObjEachNext(&loop)) {
    seen.push_back(loop);
    EXPECT_EQ(loop->refs, 2);
    ksObjDelete(loop);
  }
  EXPECT_EQ(seen, all);
  EXPECT_EQ(ksObjActiveCount(), 0);
  EXPECT_EQ(ksObjUnreleasedCount(), 0);
  EXPECT_EQ(ksObjEachFirst(&loop, thing.get()), 0);
}

TEST_F(Objects, HandlesAreIssuedOnFirstRequestAndNeverReused) {
  ksObj* a = ksObjNew(thing.get());
  ksObj* b = ksObjNew(thing.get());
  ksObj* x = ksObjNew(other.get());
  EXPECT_EQ(ksObjToHandle(nullptr), 0);
  EXPECT_EQ(ksObjToHandle(b), 1);
  EXPECT_EQ(ksObjToHandle(a), 2);
  EXPECT_EQ(ksObjToHandle(b), 1);
  EXPECT_EQ(ksObjToHandle(x), 3);
  EXPECT_EQ(ksObjFromHandle(1, thing.get()), b);
  EXPECT_EQ(ksObjFromHandle(3, other.get()), x);
  EXPECT_EQ(ksObjFromHandle(3, thing.get()), nullptr);
  EXPECT_EQ(ksObjFromHandle(0, thing.get()), nullptr);
  EXPECT_EQ(ksObjFromHandle(99, thing.get()), nullptr);
  ksObjDelete(a);
  EXPECT_EQ(ksObjFromHandle(2, thing.get()), nullptr);
  ksObj* again = ksObjNew(thing.get());
  EXPECT_EQ(ksObjToHandle(again), 4);
}

TEST_F(Objects, TextFormShowsEveryField) {
  ksObj* a = ksObjNew(thing.get());
  a->fields[0] = 1;
  a->fields[1] = std::bit_cast<int32_t>(2.5f);
  setName(a, "hi");
  EXPECT_EQ(text(a), "[1,2.500000,\"hi\",[NULL]]");
  ksObj* b = ksObjNew(thing.get());
  b->fields[0] = -3;
  b->fields[1] = std::bit_cast<int32_t>(-0.5f);
  setLink(a, b);
  EXPECT_EQ(text(a), "[1,2.500000,\"hi\",[-3,-0.5,\"\",[NULL]]]");
  EXPECT_EQ(text(nullptr), "[NULL]");
  EXPECT_EQ(ksStrActiveCount(), 1);
}

TEST_F(Objects, TextFormMarksTheRootAndCutsDeepNesting) {
  ksObj* a = ksObjNew(thing.get());
  ksObj* b = ksObjNew(thing.get());
  setLink(a, b);
  setLink(b, a);
  EXPECT_EQ(text(a), "[0,0.000000,\"\",[0,0.000000,\"\",[ROOT]]]");
  EXPECT_EQ(text(b), "[0,0.000000,\"\",[0,0.000000,\"\",[ROOT]]]");

  // A chain of ten records: the ninth level prints "....".
  std::vector<ksObj*> chain;
  for (int i = 0; i < 10; ++i) {
    chain.push_back(ksObjNew(thing.get()));
    chain.back()->fields[0] = i;
  }
  for (int i = 0; i < 9; ++i) {
    setLink(chain[i], chain[i + 1]);
  }
  std::string expected = "....";
  for (int i = 7; i >= 0; --i) {
    expected = "[" + std::to_string(i) + ",0.000000,\"\"," + expected + "]";
  }
  EXPECT_EQ(text(chain[0]), expected);

  // A cycle that does not pass through the root is cut by depth alone.
  ksObj* root = ksObjNew(thing.get());
  ksObj* p = ksObjNew(thing.get());
  ksObj* q = ksObjNew(thing.get());
  setLink(root, p);
  setLink(p, q);
  setLink(q, p);
  const std::string cut = text(root);
  EXPECT_EQ(cut.find("[ROOT]"), std::string::npos);
  EXPECT_NE(cut.find("...."), std::string::npos);
  // The root and depth are restored: the same text again.
  EXPECT_EQ(text(root), cut);
  EXPECT_EQ(text(a), "[0,0.000000,\"\",[0,0.000000,\"\",[ROOT]]]");
}

TEST_F(Objects, VectorFieldsAreAllocatedAndFreedWithTheRecord) {
  static ksVecType names = compiledVector(3, stringTypeWord());
  static CompiledType<2> holder({intTypeWord(), &names.code});
  const size_t blocksBefore = blockCount();
  ksObj* o = ksObjNew(holder.get());
  int32_t* vector = slotPointer<int32_t>(o->fields[1]);
  ASSERT_NE(vector, nullptr);
  EXPECT_EQ(blockCount(), blocksBefore + 2);  // the record block and the vector
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(vector[i], 0);
  }
  ksStrStore(reinterpret_cast<ksStr**>(&vector[0]), ksStrConst("a"));
  ksStrStore(reinterpret_cast<ksStr**>(&vector[2]), ksStrConst("c"));
  EXPECT_EQ(ksStrTake(ksObjToStr(o)), "[0,???]");
  ksObjDelete(o);
  EXPECT_EQ(ksStrActiveCount(), 0);
  EXPECT_EQ(blockCount(), blocksBefore + 1 + stringBlockCount());
}

TEST_F(Objects, NullObjectErrorIsRaised) {
  try {
    ksNullObjEx();
    FAIL() << "no error";
  } catch (const ksEx& e) {
    EXPECT_STREQ(e.message, "Object does not exist");
  }
}

TEST(ObjectRuns, TypeListsStartEmptyInTheNextRun) {
  CompiledType<1> type({intTypeWord()});
  ASSERT_TRUE(basic_create());
  ksObj* held = nullptr;
  ksObjStore(&held, ksObjNew(type.get()));
  ksObjNew(type.get());
  ksObjToHandle(held);
  basic_destroy();
  EXPECT_EQ(type.type.used.next, &type.type.used);
  EXPECT_EQ(type.type.freeList.prev, &type.type.freeList);
  EXPECT_EQ(type.type.used.refs, -1);
  EXPECT_EQ(type.type.used.type, nullptr);

  ASSERT_TRUE(basic_create());
  EXPECT_EQ(ksObjActiveCount(), 0);
  EXPECT_EQ(ksObjUnreleasedCount(), 0);
  EXPECT_EQ(ksObjFirst(type.get()), nullptr);
  ksObj* fresh = ksObjNew(type.get());
  EXPECT_EQ(ksObjFirst(type.get()), fresh);
  EXPECT_EQ(ksObjNext(fresh), nullptr);
  EXPECT_EQ(ksObjToHandle(fresh), 1);
  basic_destroy();
}

}  // namespace
