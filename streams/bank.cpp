// Bank storage: growth by half again the capacity in 16-byte steps, zeroing whatever
// the contents grow into. Sizes are computed in 64 bits, so a size near 2^31 cannot
// wrap into a small allocation.
#include "streams/bank.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {

int64_t roundUp16(int64_t size) { return (size + 15) & ~int64_t(15); }

// Zeroed storage from calloc: a large bank costs no time until its pages are used.
char* allocate(int64_t capacity) {
  if (capacity > INT32_MAX) {
    throw std::bad_alloc();
  }
  void* const data = std::calloc(static_cast<size_t>(std::max<int64_t>(capacity, 1)), 1);
  if (!data) {
    throw std::bad_alloc();
  }
  return static_cast<char*>(data);
}

}  // namespace

ksBank* bankCreate(int32_t size) {
  size = std::max(size, 0);
  const int64_t capacity = roundUp16(size);
  char* const data = allocate(capacity);
  return new ksBank{data, size, static_cast<int32_t>(capacity)};
}

void bankResize(ksBank* bank, int32_t size) {
  size = std::max(size, 0);
  if (size <= bank->size) {
    bank->size = size;
    return;
  }
  if (size <= bank->capacity) {
    std::memset(bank->data + bank->size, 0, static_cast<size_t>(size - bank->size));
    bank->size = size;
    return;
  }
  int64_t capacity = int64_t(bank->capacity) * 3 / 2;
  capacity = roundUp16(std::max<int64_t>(capacity, size));
  // Growing beyond what 32 bits can count still gives the room asked for.
  if (capacity > INT32_MAX) {
    capacity = size;
  }
  char* const data = allocate(capacity);
  std::memcpy(data, bank->data, static_cast<size_t>(bank->size));
  std::free(bank->data);
  bank->data = data;
  bank->size = size;
  bank->capacity = static_cast<int32_t>(capacity);
}

void bankFree(ksBank* bank) {
  std::free(bank->data);
  delete bank;
}
