// Global arrays (`ksArray` records in compiled data) and vectors (fixed-size blocks
// described by a `ksVecType`), with the two bounds errors compiled code raises.
#pragma once
#include <cstdint>

#include "basic/objects.h"

// An array record; `dimensions` size words follow the header.
struct ksArray {
  int32_t* data;  // null while undimensioned
  int32_t elementType;
  int32_t dimensions;

  int32_t* sizes() { return reinterpret_cast<int32_t*>(reinterpret_cast<char*>(this) + sizeof(ksArray)); }
};

static_assert(sizeof(ksArray) == 12, "layout is shared with compiled code");

void ksDimArray(ksArray* array);
void ksUndimArray(ksArray* array);
[[noreturn]] void ksArrayBoundsEx();
int32_t* ksVecAlloc(ksVecType* vector);
void ksVecFree(int32_t* block, ksVecType* vector);
[[noreturn]] void ksVecBoundsEx();

// Releases the string or object held in a slot of the given type code.
void releaseSlot(int32_t code, int32_t slot);

// Ends the arrays' life for the run: every array still dimensioned reads as
// undimensioned again (its block goes with the blockRegistry).
void arraysReset();
