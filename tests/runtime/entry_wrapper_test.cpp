// Entry wrappers: results through the C convention, stack realignment for callers
// that keep only 4-byte alignment, and exceptions turned into the jump back.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>

#include "runtime/entry.h"

namespace {

int32_t add(int32_t a, int32_t b) {
  return a + b;
}

float half(float x) {
  return x / 2;
}

bool alignedLocal() {
  alignas(16) volatile float v[4] = {1, 2, 3, 4};
  return (reinterpret_cast<uintptr_t>(&v[0]) & 15) == 0 && v[3] == 4;
}

int32_t alignmentProbe() {
  return alignedLocal() ? 1 : 0;
}

void throwsKsEx() {
  throw ksEx{"boom"};
}

void throwsOther() {
  throw std::runtime_error("library failure");
}

// A bare entry whose only work is its slow path.
KS_BARE_ENTRY int32_t bareProbe() {
  return ksWrapped<&alignmentProbe>();
}

// Calls a no-argument int entry with the stack pointer 4 bytes off 16.
int32_t callMisaligned(void* entry) {
  int32_t result;
  asm volatile(
      "mov %%esp, %%esi\n\t"
      "and $-16, %%esp\n\t"
      "sub $4, %%esp\n\t"
      "call *%1\n\t"
      "mov %%esi, %%esp\n\t"
      : "=a"(result)
      : "r"(entry)
      : "esi", "ecx", "edx", "memory");
  return result;
}

const char* runExpectingJump(void* entry) {
  if (sigsetjmp(programJump.target, 1) == 0) {
    programJump.armed = true;
    reinterpret_cast<void (*)()>(entry)();
    programJump.armed = false;
    return "no jump";
  }
  programJump.armed = false;
  return programJump.message;
}

TEST(EntryWrapper, PassesArgumentsAndResults) {
  auto addEntry = reinterpret_cast<int32_t (*)(int32_t, int32_t)>(ksEntry<&add>());
  EXPECT_EQ(addEntry(40, 2), 42);
  auto halfEntry = reinterpret_cast<float (*)(float)>(ksEntry<&half>());
  EXPECT_FLOAT_EQ(halfEntry(3.0f), 1.5f);
}

TEST(EntryWrapper, RealignsTheStackForCompiledCallers) {
  EXPECT_EQ(callMisaligned(ksEntry<&alignmentProbe>()), 1);
}

TEST(EntryWrapper, BareEntriesReachWrappedHandlersRealigned) {
  EXPECT_EQ(callMisaligned(ksBareEntry<&bareProbe>()), 1);
}

TEST(EntryWrapper, KsExJumpsBackWithItsMessage) {
  EXPECT_STREQ(runExpectingJump(ksEntry<&throwsKsEx>()), "boom");
}

TEST(EntryWrapper, OtherExceptionsJumpBackWithTheirText) {
  EXPECT_STREQ(runExpectingJump(ksEntry<&throwsOther>()), "library failure");
}

}  // namespace
