// blockRegistry: the set of every block the basic module allocated during a run.
#include "basic/block_registry.h"

#include <cstdlib>
#include <new>
#include <unordered_set>

namespace {

std::unordered_set<void*>& registry() {
  static std::unordered_set<void*> blocks;
  return blocks;
}

}  // namespace

void* blockAlloc(size_t bytes) {
  // A zero-byte request still yields a distinct block, so "null" keeps meaning "none".
  void* block = std::calloc(1, bytes ? bytes : 1);
  if (!block) {
    throw std::bad_alloc();
  }
  try {
    registry().insert(block);
  } catch (...) {
    std::free(block);
    throw;
  }
  return block;
}

void blockFree(void* block) {
  if (block && registry().erase(block)) {
    std::free(block);
  }
}

void blockFreeAll() {
  for (void* block : registry()) {
    std::free(block);
  }
  registry().clear();
}

size_t blockCount() {
  return registry().size();
}
