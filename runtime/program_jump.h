// The point in runProgram that entry wrappers and the fault handler return to.
// C++ exceptions cannot unwind through compiled-program frames, so a ksEx caught in
// a wrapper travels the rest of the way back with siglongjmp.
#pragma once
#include <csetjmp>

struct ProgramJump {
  sigjmp_buf target;
  volatile bool armed = false;       // true while the compiled entry runs
  const char* volatile message = nullptr;
  volatile bool fault = false;       // set by the fault handler: report still to be made
};

extern ProgramJump programJump;

// Leaves the compiled code for runProgram, carrying the ksEx message.
[[noreturn]] void unwindToProgram(const char* message);

// Reports an exception other than ksEx that reached a wrapper; returns its message.
const char* reportForeignException();
