// The floating-point modes around a run: the x87 control word is 0x007F (all exceptions
// masked, 24-bit precision, round to nearest); the previous word and the SSE control
// register (MXCSR) are restored afterwards.
#pragma once
#include <cstdint>

uint16_t readFpuControlWord();
void writeFpuControlWord(uint16_t word);
uint32_t readMxcsr();
void writeMxcsr(uint32_t value);

class FpuRunMode {
 public:
  static constexpr uint16_t kRunWord = 0x007F;
  FpuRunMode() : savedWord_(readFpuControlWord()), savedMxcsr_(readMxcsr()) { writeFpuControlWord(kRunWord); }
  ~FpuRunMode() {
    writeFpuControlWord(savedWord_);
    writeMxcsr(savedMxcsr_);
  }
  FpuRunMode(const FpuRunMode&) = delete;
  FpuRunMode& operator=(const FpuRunMode&) = delete;

 private:
  uint16_t savedWord_;
  uint32_t savedMxcsr_;
};
