// The bank module's handlers: banks, their peeks and pokes, copies, stream transfers
// and CallDLL. CallDLL's two string arguments are released after the call.
#pragma once
#include <cstdint>

#include "basic/ks_str.h"

namespace bankcmd {

int32_t createBank(int32_t size);
void freeBank(int32_t bank);
int32_t bankSize(int32_t bank);
void resizeBank(int32_t bank, int32_t size);
void copyBank(int32_t srcBank, int32_t srcOffset, int32_t destBank, int32_t destOffset,
              int32_t count);
int32_t peekByte(int32_t bank, int32_t offset);
int32_t peekShort(int32_t bank, int32_t offset);
int32_t peekInt(int32_t bank, int32_t offset);
float peekFloat(int32_t bank, int32_t offset);
void pokeByte(int32_t bank, int32_t offset, int32_t value);
void pokeShort(int32_t bank, int32_t offset, int32_t value);
void pokeInt(int32_t bank, int32_t offset, int32_t value);
void pokeFloat(int32_t bank, int32_t offset, float value);
int32_t readBytes(int32_t bank, int32_t stream, int32_t offset, int32_t count);
int32_t writeBytes(int32_t bank, int32_t stream, int32_t offset, int32_t count);
int32_t callDLL(ksStr* dllName, ksStr* funcName, int32_t inBank, int32_t outBank);

}  // namespace bankcmd
