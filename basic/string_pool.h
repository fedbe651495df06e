// The string pool behind ksStr: the used list (every live string, oldest first) and
// the free list, both closed by static sentinels, refilled 512 nodes at a time.
#pragma once
#include <cstddef>

#include "basic/ks_str.h"

constexpr int kStringsPerBlock = 512;

// The used-list sentinel: walk from next until the sentinel comes round again.
const ksStr* stringUsedList();

// Blocks the pool has taken from the blockRegistry during this run.
size_t stringBlockCount();

// Ends the pool's life for the run: destroys every node's value, on both lists, and
// empties the lists and counts. The blocks themselves are freed by the registry.
void stringPoolReset();
