// The string pool behind ksStr: the used list (every live string, oldest first) and
// the free list, both closed by static sentinels, refilled 512 nodes at a time.
// Taking a node is inline: strings are created at a very high rate.
#pragma once
#include <cstddef>

#include "basic/ks_str.h"

constexpr int kStringsPerBlock = 512;

namespace string_pool {

extern ksStr usedList;
extern ksStr freeList;
extern int activeStrings;

// Appends a fresh block of nodes to the free list.
void addBlock();

inline void unlink(ksStr* node) {
  node->prev->next = node->next;
  node->next->prev = node->prev;
}

inline void append(ksStr& list, ksStr* node) {
  node->prev = list.prev;
  node->next = &list;
  list.prev->next = node;
  list.prev = node;
}

// The free list is only ever taken from at the head and added to at the tail, so its
// nodes need forward links only: the sentinel's prev is the tail.
inline void appendFree(ksStr* node) {
  node->next = &freeList;
  freeList.prev->next = node;
  freeList.prev = node;
}

}  // namespace string_pool

// A live node with an empty value (possibly with capacity left from its last use).
inline ksStr* takeStringNode() {
  using namespace string_pool;
  if (freeList.next == &freeList) {
    addBlock();
  }
  ksStr* node = freeList.next;
  freeList.next = node->next;
  if (freeList.next == &freeList) {
    freeList.prev = &freeList;
  }
  append(usedList, node);
  ++activeStrings;
  return node;
}

// The used-list sentinel: walk from next until the sentinel comes round again.
const ksStr* stringUsedList();

// Blocks the pool has taken from the blockRegistry during this run.
size_t stringBlockCount();

// Ends the pool's life for the run: destroys every node's value, on both lists, and
// empties the lists and counts. The blocks themselves are freed by the registry.
void stringPoolReset();
