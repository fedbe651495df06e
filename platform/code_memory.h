// Memory for a module's code and data: mapped read/write for loading and patching,
// then made executable. Never freed or moved while the process lives, so the fault
// handler can tell module code by address.
#pragma once
#include <cstddef>
#include <cstdint>

uint8_t* allocateCodeMemory(size_t size);        // read/write; null on failure
bool makeCodeExecutable(uint8_t* block, size_t size);

// Whether an address lies in a block made executable here. Safe in a signal handler.
bool isModuleCode(uintptr_t address);
