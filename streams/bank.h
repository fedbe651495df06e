// Memory banks: resizable blocks of bytes the program addresses by offset. The record
// keeps its size and its capacity (a multiple of 16); bytes that joined the contents
// without being written read as zero.
#pragma once
#include <cstdint>
#include <cstring>

struct ksBank {
  char* data;
  int32_t size;
  int32_t capacity;
};

// A bank of size bytes, all zero. Throws std::bad_alloc when the memory cannot be had.
ksBank* bankCreate(int32_t size);
// Grows (1.5 times the capacity, at least the new size, in 16-byte steps) or shrinks
// (keeping the storage); the contents that still fit stay.
void bankResize(ksBank* bank, int32_t size);
void bankFree(ksBank* bank);

// Whether width bytes from offset lie inside the bank; negative offsets and widths do not.
inline bool bankRangeValid(const ksBank* bank, int32_t offset, int32_t width) {
  return offset >= 0 && width >= 0 && int64_t(offset) + width <= bank->size;
}
