// The ksStr pool: node allocation and release as list operations, one heap request
// per 512 nodes. A released node keeps a modest buffer so that the next string it
// holds needs no heap call either.
#include "basic/string_pool.h"

#include <cstring>
#include <new>
#include <string_view>

#include "basic/block_registry.h"
#include "runtime/entry.h"

namespace {

size_t stringBlocks = 0;

void releaseWithBuffer(ksStr* s) {
  s->value.freeBuffer();
  string_pool::returnNode(s);
}

void freeBuffers(ksStr& list) {
  for (ksStr* node = list.next; node != &list; node = node->next) {
    node->value.freeBuffer();
  }
  list.next = list.prev = &list;
}

}  // namespace

namespace string_pool {

ksStr usedList{{}, &usedList, &usedList};
ksStr freeList{{}, &freeList, &freeList};

void addBlock() {
  auto* nodes = static_cast<ksStr*>(blockAlloc(sizeof(ksStr) * kStringsPerBlock));
  ++stringBlocks;
  for (int i = 0; i < kStringsPerBlock; ++i) {
    appendFree(new (&nodes[i]) ksStr{});
  }
}

}  // namespace string_pool

ksStr* ksStrNew() {
  return takeStringNode();
}

ksStr* ksStrNew(const char* text) {
  return ksStrNew(std::string_view(text ? text : ""));
}

ksStr* ksStrNew(std::string_view bytes) {
  ksStr* const node = takeStringNode();
  node->value.assign(bytes);
  return node;
}

// A bare entry: the heap is only called, through a wrapper, for a large buffer.
KS_BARE_ENTRY void ksStrRelease(ksStr* s) {
  if (!s) {
    return;
  }
  if (!releasesInline(s)) {
    return ksWrapped<&releaseWithBuffer>(s);
  }
  string_pool::returnNode(s);
}

int ksStrActiveCount() {
  int count = 0;
  for (const ksStr* s = string_pool::usedList.next; s != &string_pool::usedList; s = s->next) {
    ++count;
  }
  return count;
}

const ksStr* stringUsedList() {
  return &string_pool::usedList;
}

size_t stringBlockCount() {
  return stringBlocks;
}

void stringPoolReset() {
  freeBuffers(string_pool::usedList);
  freeBuffers(string_pool::freeList);
  stringBlocks = 0;
}
