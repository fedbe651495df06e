// Memory for a module's code and data: mapped read/write for loading and patching,
// then made executable. Never freed or moved while the process lives.
#pragma once
#include <cstddef>
#include <cstdint>

uint8_t* allocateCodeMemory(size_t size);        // read/write; null on failure
bool makeCodeExecutable(uint8_t* block, size_t size);
