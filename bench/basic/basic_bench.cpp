// The language core's hot paths: string literals created and released, objects created
// and deleted, concatenation growth and object iteration, each against the obvious C
// or C++ baseline in the same run. Each is measured through the registered entries
// (as compiled code calls them) and directly. The figures in docs/performance.md are
// medians of interleaved repetitions (see there for the command line).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <list>
#include <map>
#include <string>

#include "basic/objects.h"
#include "basic/string_entries.h"
#include "bench/bench_ratio.h"
#include "runtime/modules.h"

namespace {

std::map<std::string, void*> entries;

template <typename Function>
Function entry(const char* name) {
  if (entries.empty()) {
    basic_link([](CommandSignature signature, void* address) { entries[signature] = address; });
  }
  return reinterpret_cast<Function>(entries.at(name));
}

const auto strConst = entry<ksStr* (*)(const char*)>("_ksStrConst");
const auto strRelease = entry<void (*)(ksStr*)>("_ksStrRelease");
const auto strConcat = entry<ksStr* (*)(ksStr*, ksStr*)>("_ksStrConcat");
const auto objNew = entry<ksObj* (*)(ksType*)>("_ksObjNew");
const auto objDelete = entry<void (*)(ksObj*)>("_ksObjDelete");
const auto objFirst = entry<ksObj* (*)(ksType*)>("_ksObjFirst");
const auto objNext = entry<ksObj* (*)(ksObj*)>("_ksObjNext");

// 8 characters fit std::string's own buffer; 40 need the heap.
const char* literal(int64_t length) {
  return length <= 8 ? "Kestrel!" : "Kestrel Basic: the quick brown fox jumps";
}

// A 4-field user type laid out as compiled data: Type Thing x%, y#, name$, id%.
struct ThingType {
  ksType type;
  int32_t* fields[4];
};

ThingType& thingType() {
  static ThingType t = [] {
    ThingType made{};
    made.type.code = kObjectType;
    for (ksObj* sentinel : {&made.type.used, &made.type.freeList}) {
      sentinel->next = sentinel->prev = sentinel;
      sentinel->refs = -1;
    }
    made.type.fieldCount = 4;
    int32_t* const intWord = static_cast<int32_t*>(entries.at("_ksIntType"));
    made.fields[0] = intWord;
    made.fields[1] = static_cast<int32_t*>(entries.at("_ksFltType"));
    made.fields[2] = static_cast<int32_t*>(entries.at("_ksStrType"));
    made.fields[3] = intWord;
    return made;
  }();
  return t;
}

// The same record as a plain C++ object: header and four slots.
struct PlainRecord {
  void* fields;
  PlainRecord* next;
  PlainRecord* prev;
  void* type;
  int32_t refs;
  int32_t x;
  float y;
  std::string* name;
  int32_t id;
};

class Run {
 public:
  Run() { basic_create(); }
  ~Run() { basic_destroy(); }
};

void BM_StrConstRelease(benchmark::State& state) {
  Run run;
  const char* text = literal(state.range(0));
  for (auto _ : state) {
    ksStr* s = strConst(text);
    benchmark::DoNotOptimize(s);
    strRelease(s);
  }
}
BENCHMARK(BM_StrConstRelease)->Arg(8)->Arg(40);

// The same handlers called directly, without the entry wrapper around each.
void BM_StrConstReleaseDirect(benchmark::State& state) {
  Run run;
  const char* text = literal(state.range(0));
  for (auto _ : state) {
    ksStr* s = ksStrConst(text);
    benchmark::DoNotOptimize(s);
    ksStrRelease(s);
  }
}
BENCHMARK(BM_StrConstReleaseDirect)->Arg(8)->Arg(40);

// The floor under any pair of entry calls: two calls through pointers that do nothing.
__attribute__((noinline)) ksStr* takeNothing(const char* text) {
  benchmark::DoNotOptimize(text);
  return nullptr;
}
__attribute__((noinline)) void releaseNothing(ksStr* s) {
  benchmark::DoNotOptimize(s);
}

// Calls a create and a release through pointers the compiler cannot see through.
template <typename Node>
void callPairs(benchmark::State& state, Node* (*take)(const char*), void (*give)(Node*)) {
  Node* (*volatile hiddenTake)(const char*) = take;
  void (*volatile hiddenGive)(Node*) = give;
  const auto takeCall = hiddenTake;
  const auto giveCall = hiddenGive;
  const char* text = literal(8);
  for (auto _ : state) {
    Node* node = takeCall(text);
    benchmark::DoNotOptimize(node);
    giveCall(node);
  }
}

void BM_TwoEmptyCalls(benchmark::State& state) {
  callPairs(state, takeNothing, releaseNothing);
}
BENCHMARK(BM_TwoEmptyCalls);

// The floor under any pool with these lists: only the list moves of a create and a
// release, as the pools make them, behind two calls, with no value and no checks. The
// free list keeps forward links only (its sentinel's prev is the tail); the used list
// links both ways.
struct ListNode {
  ListNode* next;
  ListNode* prev;
};
ListNode freeNodes{&freeNodes, &freeNodes};
ListNode usedNodes{&usedNodes, &usedNodes};

void appendFreeNode(ListNode* node) {
  node->next = &freeNodes;
  freeNodes.prev->next = node;
  freeNodes.prev = node;
}

__attribute__((noinline)) ListNode* takeListNode(const char* text) {
  benchmark::DoNotOptimize(text);
  ListNode* const node = freeNodes.next;
  freeNodes.next = node->next;
  if (freeNodes.next == &freeNodes) {
    freeNodes.prev = &freeNodes;
  }
  node->next = &usedNodes;
  node->prev = usedNodes.prev;
  usedNodes.prev->next = node;
  usedNodes.prev = node;
  return node;
}

__attribute__((noinline)) void returnListNode(ListNode* node) {
  node->prev->next = node->next;
  node->next->prev = node->prev;
  appendFreeNode(node);
}

void BM_ListMovesOnly(benchmark::State& state) {
  static ListNode block[512];
  for (ListNode& node : block) {
    appendFreeNode(&node);
  }
  callPairs(state, takeListNode, returnListNode);
  freeNodes = {&freeNodes, &freeNodes};
}
BENCHMARK(BM_ListMovesOnly);

void BM_MallocCopyFree(benchmark::State& state) {
  const char* text = literal(state.range(0));
  for (auto _ : state) {
    const size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(size));
    std::memcpy(copy, text, size);
    benchmark::DoNotOptimize(copy);
    benchmark::ClobberMemory();
    std::free(copy);
  }
}
BENCHMARK(BM_MallocCopyFree)->Arg(8)->Arg(40);

void BM_StdString(benchmark::State& state) {
  const char* text = literal(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(text);
    std::string s(text);
    benchmark::DoNotOptimize(s.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_StdString)->Arg(8)->Arg(40);

void BM_ObjNewDelete(benchmark::State& state) {
  Run run;
  ksType* type = &thingType().type;
  for (auto _ : state) {
    ksObj* o = objNew(type);
    benchmark::DoNotOptimize(o);
    objDelete(o);
  }
}
BENCHMARK(BM_ObjNewDelete);

void BM_ObjNewDeleteDirect(benchmark::State& state) {
  Run run;
  ksType* type = &thingType().type;
  for (auto _ : state) {
    ksObj* o = ksObjNew(type);
    benchmark::DoNotOptimize(o);
    ksObjDelete(o);
  }
}
BENCHMARK(BM_ObjNewDeleteDirect);

void BM_NewDeleteRecord(benchmark::State& state) {
  for (auto _ : state) {
    PlainRecord* r = new PlainRecord{};
    benchmark::DoNotOptimize(r);
    benchmark::ClobberMemory();
    delete r;
  }
}
BENCHMARK(BM_NewDeleteRecord);

// One character at a time, as `s$ = s$ + "x"` does.
void BM_ConcatOneCharacterAtATime(benchmark::State& state) {
  Run run;
  const int64_t length = state.range(0);
  for (auto _ : state) {
    ksStr* s = strConst("");
    for (int64_t i = 0; i < length; ++i) {
      s = strConcat(s, strConst("x"));
    }
    benchmark::DoNotOptimize(s);
    strRelease(s);
  }
}
BENCHMARK(BM_ConcatOneCharacterAtATime)->Arg(1000)->Arg(10000);

constexpr int kLiveObjects = 100000;

void BM_IterateObjectsThroughEntries(benchmark::State& state) {
  Run run;
  ksType* type = &thingType().type;
  for (int i = 0; i < kLiveObjects; ++i) {
    objNew(type)->fields[0] = i;
  }
  for (auto _ : state) {
    int32_t sum = 0;
    for (ksObj* o = objFirst(type); o; o = objNext(o)) {
      sum += o->fields[0];
    }
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_IterateObjectsThroughEntries);

void BM_IterateObjectsDirect(benchmark::State& state) {
  Run run;
  ksType* type = &thingType().type;
  for (int i = 0; i < kLiveObjects; ++i) {
    ksObjNew(type)->fields[0] = i;
  }
  for (auto _ : state) {
    int32_t sum = 0;
    for (ksObj* o = ksObjFirst(type); o; o = ksObjNext(o)) {
      sum += o->fields[0];
    }
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_IterateObjectsDirect);

void BM_IterateStdList(benchmark::State& state) {
  std::list<PlainRecord> records;
  for (int i = 0; i < kLiveObjects; ++i) {
    records.push_back(PlainRecord{});
    records.back().x = i;
  }
  for (auto _ : state) {
    int32_t sum = 0;
    for (const PlainRecord& r : records) {
      sum += r.x;
    }
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_IterateStdList);

}  // namespace

int main(int argc, char** argv) {
  return runWithRatios(argc, argv,
                       {{"BM_MallocCopyFree/8", "BM_StrConstRelease/8"},
                        {"BM_MallocCopyFree/8", "BM_StrConstReleaseDirect/8"},
                        {"BM_StdString/8", "BM_StrConstReleaseDirect/8"},
                        {"BM_MallocCopyFree/40", "BM_StrConstReleaseDirect/40"},
                        {"BM_StdString/40", "BM_StrConstReleaseDirect/40"},
                        {"BM_NewDeleteRecord", "BM_ObjNewDeleteDirect"},
                        {"BM_StdString/8", "BM_StrConstRelease/8"},
                        {"BM_MallocCopyFree/40", "BM_StrConstRelease/40"},
                        {"BM_StdString/40", "BM_StrConstRelease/40"},
                        {"BM_NewDeleteRecord", "BM_ObjNewDelete"},
                        {"BM_ConcatOneCharacterAtATime/10000", "BM_ConcatOneCharacterAtATime/1000"},
                        {"BM_IterateObjectsDirect", "BM_IterateStdList"},
                        {"BM_IterateObjectsThroughEntries", "BM_IterateStdList"},
                        {"BM_StdString/8", "BM_TwoEmptyCalls"},
                        {"BM_MallocCopyFree/8", "BM_ListMovesOnly"},
                        {"BM_NewDeleteRecord", "BM_ListMovesOnly"}});
}
