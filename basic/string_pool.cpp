// The ksStr pool: node allocation and release as list operations, one heap request
// per 512 nodes. A released node keeps a modest buffer so that the next string it
// holds needs no heap call either.
#include "basic/string_pool.h"

#include <new>
#include <string>
#include <string_view>

#include "basic/block_registry.h"

namespace {

// Buffers up to this size stay with a released node; larger ones go back to the heap
// so that one huge temporary does not pin its memory for the rest of the run.
constexpr size_t kKeptCapacity = 1024;

ksStr usedList{{}, &usedList, &usedList};
ksStr freeList{{}, &freeList, &freeList};
int activeStrings = 0;
size_t stringBlocks = 0;

void unlink(ksStr* node) {
  node->prev->next = node->next;
  node->next->prev = node->prev;
}

void append(ksStr& list, ksStr* node) {
  node->prev = list.prev;
  node->next = &list;
  list.prev->next = node;
  list.prev = node;
}

void addBlock() {
  auto* nodes = static_cast<ksStr*>(blockAlloc(sizeof(ksStr) * kStringsPerBlock));
  ++stringBlocks;
  for (int i = 0; i < kStringsPerBlock; ++i) {
    ksStr* node = new (&nodes[i]) ksStr{};
    append(freeList, node);
  }
}

// Every node on either list holds a constructed (possibly empty) value.
ksStr* takeNode() {
  if (freeList.next == &freeList) {
    addBlock();
  }
  ksStr* node = freeList.next;
  unlink(node);
  append(usedList, node);
  ++activeStrings;
  return node;
}

void destroyValues(ksStr& list) {
  for (ksStr* node = list.next; node != &list;) {
    ksStr* next = node->next;
    node->value.~basic_string();
    node = next;
  }
  list.next = list.prev = &list;
}

}  // namespace

ksStr* ksStrNew() {
  return takeNode();
}

ksStr* ksStrNew(const char* text) {
  ksStr* node = takeNode();
  node->value.assign(text ? text : "");
  return node;
}

ksStr* ksStrNew(std::string_view bytes) {
  ksStr* node = takeNode();
  node->value.assign(bytes.data(), bytes.size());
  return node;
}

void ksStrRelease(ksStr* s) {
  if (!s) {
    return;
  }
  if (s->value.capacity() > kKeptCapacity) {
    std::string().swap(s->value);
  } else {
    s->value.clear();
  }
  --activeStrings;
  unlink(s);
  append(freeList, s);
}

int ksStrActiveCount() {
  return activeStrings;
}

const ksStr* stringUsedList() {
  return &usedList;
}

size_t stringBlockCount() {
  return stringBlocks;
}

void stringPoolReset() {
  destroyValues(usedList);
  destroyValues(freeList);
  activeStrings = 0;
  stringBlocks = 0;
}
