// The x87 control word around a run: all exceptions masked, 24-bit precision,
// round to nearest (0x007F); the previous word is restored afterwards.
#pragma once
#include <cstdint>

uint16_t readFpuControlWord();
void writeFpuControlWord(uint16_t word);

class FpuRunMode {
 public:
  static constexpr uint16_t kRunWord = 0x007F;
  FpuRunMode() : saved_(readFpuControlWord()) { writeFpuControlWord(kRunWord); }
  ~FpuRunMode() { writeFpuControlWord(saved_); }
  FpuRunMode(const FpuRunMode&) = delete;
  FpuRunMode& operator=(const FpuRunMode&) = delete;

 private:
  uint16_t saved_;
};
