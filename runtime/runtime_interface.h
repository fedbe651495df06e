// The two interfaces shared with hosts. Virtual functions are declared in slot order
// and neither class has a virtual destructor, which would add slots.
#pragma once
#include <cstdint>
#include <iosfwd>

class Debugger {
 public:
  virtual void onResume() = 0;
  virtual void onPause() = 0;
  virtual void onStatement(int32_t a, int32_t b) = 0;
  virtual void onEnterFrame(int32_t a, int32_t b, int32_t c) = 0;
  virtual void onLeaveFrame() = 0;
  virtual void onEnd(const char* message) = 0;
  virtual void onRuntimeError(const char* message) = 0;
  virtual void onLog(const char* message) = 0;
  virtual int32_t queryState() = 0;

 protected:
  ~Debugger() = default;
};

using ProgramEntry = void (*)();

class Runtime {
 public:
  virtual int32_t getVersion() = 0;
  virtual const char* nextSymbol() = 0;
  virtual int32_t symbolValue(const char* name) = 0;
  virtual void startUp(void* instance) = 0;
  virtual void shutDown() = 0;
  virtual void execute(ProgramEntry entry, const char* args, Debugger* debugger,
                       bool debugMode, int32_t windowFlags) = 0;
  virtual void requestPause() = 0;
  virtual void requestResume() = 0;
  virtual void requestEnd() = 0;
  virtual void reportMemory(std::streambuf* buffer) = 0;

 protected:
  ~Runtime() = default;
};

// The library's two exported entries.
extern "C" Runtime* runtimeGetRuntime();
extern "C" void ksWinMain() __attribute__((noreturn));
