#include "platform/code_memory.h"

#include <sys/mman.h>
#include <unistd.h>

namespace {

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
  return mprotect(block, pageRounded(size), PROT_READ | PROT_WRITE | PROT_EXEC) == 0;
}
