// The basic module's blockRegistry: every block of memory it takes for strings,
// objects, arrays and vectors. Blocks are freed one by one (arrays, vectors) or all
// together when the run ends.
#pragma once
#include <cstddef>

// A new zero-filled block of the given size, registered until freed.
void* blockAlloc(size_t bytes);

// Frees one registered block; a block the registry does not know is left alone.
void blockFree(void* block);

// Frees every registered block.
void blockFreeAll();

// Number of blocks currently registered.
size_t blockCount();
