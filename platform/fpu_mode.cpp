#include "platform/fpu_mode.h"

uint16_t readFpuControlWord() {
  uint16_t word = 0;
  asm volatile("fnstcw %0" : "=m"(word));
  return word;
}

void writeFpuControlWord(uint16_t word) {
  asm volatile("fldcw %0" : : "m"(word));
}

uint32_t readMxcsr() {
  uint32_t value = 0;
  asm volatile("stmxcsr %0" : "=m"(value));
  return value;
}

void writeMxcsr(uint32_t value) {
  asm volatile("ldmxcsr %0" : : "m"(value));
}
