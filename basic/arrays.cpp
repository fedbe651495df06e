// Dim arrays and vectors: zero-filled element blocks from the blockRegistry, whose
// strings and objects are released when the block goes.
#include "basic/arrays.h"

#include <cstdint>
#include <new>
#include <unordered_set>

#include "basic/block_registry.h"
#include "basic/ks_error.h"
#include "basic/slots.h"

namespace {

// Arrays dimensioned during this run: their records live in compiled data, which
// outlives the run, so they are set back to undimensioned when it ends.
std::unordered_set<ksArray*> dimensionedArrays;

// Slots are 4 bytes; anything that does not fit the address space is an allocation
// failure, like any other.
int32_t* allocateSlots(int64_t count) {
  if (count < 0 || count > INT32_MAX / 4) {
    throw std::bad_alloc();
  }
  return static_cast<int32_t*>(blockAlloc(static_cast<size_t>(count) * 4));
}

void releaseSlots(int32_t code, const int32_t* slots, int64_t count) {
  if (code != kStringType && code != kObjectType) {
    return;
  }
  for (int64_t i = 0; i < count; ++i) {
    releaseSlot(code, slots[i]);
  }
}

}  // namespace

void releaseSlot(int32_t code, int32_t slot) {
  if (code == kStringType) {
    ksStrRelease(slotPointer<ksStr>(slot));
  } else if (code == kObjectType) {
    ksObjRelease(slotPointer<ksObj>(slot));
  }
}

// A negative declared bound gives a dimension of no elements rather than a negative
// count.
void ksDimArray(ksArray* array) {
  int32_t* const sizes = array->sizes();
  int64_t total = 1;
  for (int k = 0; k < array->dimensions; ++k) {
    const int64_t count = sizes[k] < 0 ? 0 : int64_t{sizes[k]} + 1;
    total = total * count;
    if (total > INT32_MAX) {
      throw std::bad_alloc();
    }
    sizes[k] = static_cast<int32_t>(total);
  }
  array->data = allocateSlots(total);
  dimensionedArrays.insert(array);
}

void ksUndimArray(ksArray* array) {
  if (!array->data) {
    return;
  }
  const int64_t total = array->dimensions > 0 ? array->sizes()[array->dimensions - 1] : 0;
  releaseSlots(array->elementType, array->data, total);
  blockFree(array->data);
  array->data = nullptr;
  dimensionedArrays.erase(array);
}

void ksArrayBoundsEx() {
  runtimeError("Array index out of bounds");
}

int32_t* ksVecAlloc(ksVecType* vector) {
  return allocateSlots(vector->count < 0 ? 0 : vector->count);
}

void ksVecFree(int32_t* block, ksVecType* vector) {
  if (!block) {
    return;
  }
  releaseSlots(*vector->elementType, block, vector->count);
  blockFree(block);
}

void ksVecBoundsEx() {
  runtimeError("Kestrel array index out of bounds");
}

void arraysReset() {
  for (ksArray* array : dimensionedArrays) {
    array->data = nullptr;
  }
  dimensionedArrays.clear();
}
