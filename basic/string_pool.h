// The string pool behind ksStr: the used list (every live string, oldest first) and
// the free list, both closed by static sentinels, refilled 512 nodes at a time.
// Taking and returning a node are inline list operations: strings are created at a
// very high rate, and the bare string entries must not call out. The active-string
// count is the used list's length, counted when asked for: a counter kept up to date
// costs every temporary two more memory updates.
#pragma once
#include <cstddef>

#include "basic/ks_str.h"

#pragma GCC visibility push(hidden)

constexpr int kStringsPerBlock = 512;
// Buffers up to this size stay with a released node; larger ones go back to the heap
// so that one huge temporary does not pin its memory for the rest of the run.
constexpr size_t kKeptCapacity = 1024;

namespace string_pool {

extern ksStr usedList;
extern ksStr freeList;

// Appends a fresh block of nodes to the free list.
void addBlock();

inline bool hasFreeNode() {
  return freeList.next != &freeList;
}

// The free list is only ever taken from at the head and added to at the tail, so its
// nodes need forward links only: the sentinel's prev is the tail.
inline void appendFree(ksStr* node) {
  node->next = &freeList;
  freeList.prev->next = node;
  freeList.prev = node;
}

// Moves the free list's head to the tail of the used list; the free list must not be
// empty. The node's value is whatever it last held.
inline ksStr* takeFreeNode() {
  ksStr* const node = freeList.next;
  freeList.next = node->next;
  if (freeList.next == &freeList) {
    freeList.prev = &freeList;
  }
  node->prev = usedList.prev;
  node->next = &usedList;
  usedList.prev->next = node;
  usedList.prev = node;
  return node;
}

// Moves a live node to the free list, its value's buffer left as it is.
inline void returnNode(ksStr* node) {
  node->prev->next = node->next;
  node->next->prev = node->prev;
  appendFree(node);
}

}  // namespace string_pool

// A live node with an empty value (possibly with a buffer left from its last use).
inline ksStr* takeStringNode() {
  if (!string_pool::hasFreeNode()) {
    string_pool::addBlock();
  }
  ksStr* const node = string_pool::takeFreeNode();
  node->value.clear();
  return node;
}

// Whether a string can be released without calling the heap.
inline bool releasesInline(const ksStr* s) {
  return s->value.capacity() <= kKeptCapacity;
}

// The used-list sentinel: walk from next until the sentinel comes round again.
const ksStr* stringUsedList();

// Blocks the pool has taken from the blockRegistry during this run.
size_t stringBlockCount();

// Ends the pool's life for the run: frees every node's buffer, on both lists, and
// empties the lists and counts. The blocks themselves are freed by the registry.
void stringPoolReset();

#pragma GCC visibility pop
