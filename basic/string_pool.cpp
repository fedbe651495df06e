// The ksStr pool: node allocation and release as list operations, one heap request
// per 512 nodes. A released node keeps a modest buffer so that the next string it
// holds needs no heap call either.
#include "basic/string_pool.h"

#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "basic/block_registry.h"

namespace {

// Buffers up to this size stay with a released node; larger ones go back to the heap
// so that one huge temporary does not pin its memory for the rest of the run.
constexpr size_t kKeptCapacity = 1024;

size_t stringBlocks = 0;

void destroyValues(ksStr& list) {
  for (ksStr* node = list.next; node != &list;) {
    ksStr* next = node->next;
    node->value.~basic_string();
    node = next;
  }
  list.next = list.prev = &list;
}

}  // namespace

namespace string_pool {

ksStr usedList{{}, &usedList, &usedList};
ksStr freeList{{}, &freeList, &freeList};
int activeStrings = 0;

// Every node on either list holds a constructed (possibly empty) value.
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
  ksStr* node = takeStringNode();
  if (text) {
    node->value.append(text, std::strlen(text));
  }
  return node;
}

ksStr* ksStrNew(std::string_view bytes) {
  ksStr* node = takeStringNode();
  node->value.append(bytes.data(), bytes.size());
  return node;
}

void ksStrRelease(ksStr* s) {
  using namespace string_pool;
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
  appendFree(s);
}

int ksStrActiveCount() {
  return string_pool::activeStrings;
}

const ksStr* stringUsedList() {
  return &string_pool::usedList;
}

size_t stringBlockCount() {
  return stringBlocks;
}

void stringPoolReset() {
  destroyValues(string_pool::usedList);
  destroyValues(string_pool::freeList);
  string_pool::activeStrings = 0;
  stringBlocks = 0;
}
