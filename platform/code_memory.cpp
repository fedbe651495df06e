#include "platform/code_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>

namespace {

// The executable blocks, published with a count so that a signal handler reads only
// complete entries. Blocks beyond the table are simply not recognised as module code.
struct CodeRange {
  uintptr_t low;
  uintptr_t high;
};
constexpr int kMaxRanges = 4096;
CodeRange ranges[kMaxRanges];
std::atomic<int> rangeCount{0};

size_t pageRounded(size_t size) {
  const size_t page = size_t(sysconf(_SC_PAGESIZE));
  return ((size ? size : 1) + page - 1) / page * page;
}

}  // namespace

uint8_t* allocateCodeMemory(size_t size) {
  void* block = mmap(nullptr, pageRounded(size), PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return block == MAP_FAILED ? nullptr : static_cast<uint8_t*>(block);
}

bool makeCodeExecutable(uint8_t* block, size_t size) {
  if (mprotect(block, pageRounded(size), PROT_READ | PROT_WRITE | PROT_EXEC) != 0) {
    return false;
  }
  static std::atomic_flag busy = ATOMIC_FLAG_INIT;  // writers take turns; readers never wait
  while (busy.test_and_set(std::memory_order_acquire)) {
  }
  const int count = rangeCount.load(std::memory_order_relaxed);
  if (count < kMaxRanges) {
    const uintptr_t low = reinterpret_cast<uintptr_t>(block);
    ranges[count] = CodeRange{low, low + pageRounded(size)};
    rangeCount.store(count + 1, std::memory_order_release);
  }
  busy.clear(std::memory_order_release);
  return true;
}

bool isModuleCode(uintptr_t address) {
  const int count = rangeCount.load(std::memory_order_acquire);
  for (int i = 0; i < count; ++i) {
    if (address >= ranges[i].low && address < ranges[i].high) {
      return true;
    }
  }
  return false;
}
