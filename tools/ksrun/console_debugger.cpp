#include "tools/ksrun/console_debugger.h"

#include <cstdio>
#include <cstring>

void ConsoleDebugger::onResume() {
  std::fprintf(stderr, "[resumed]\n");
}

void ConsoleDebugger::onPause() {
  std::fprintf(stderr, "[paused]\n");
}

void ConsoleDebugger::onEnd(const char* message) {
  const bool startup = std::strncmp(message, "Startup Error: ", 15) == 0;
  outcome_ = startup ? Outcome::StartupError : Outcome::Ended;
  std::fprintf(stderr, "[end] %s\n", message);
}

void ConsoleDebugger::onRuntimeError(const char* message) {
  outcome_ = Outcome::Error;
  std::fprintf(stderr, "[runtime error] %s\n", message);
  const uintptr_t name = uint32_t(lastFile_);
  const uintptr_t start = reinterpret_cast<uintptr_t>(code_);
  if (code_ && lastLine_ > 0 && name >= start && name < start + codeSize_) {
    const void* end = std::memchr(reinterpret_cast<const void*>(name), 0, start + codeSize_ - name);
    if (end) {
      std::fprintf(stderr, "[at] %s:%d\n", reinterpret_cast<const char*>(name), int(lastLine_));
    }
  }
}

void ConsoleDebugger::onLog(const char* message) {
  std::fprintf(stderr, "[log] %s\n", message);
}
