// The run's one exception type and the runtime-error routine every command uses,
// plus the process-wide run state (debug mode, current sysRuntime).
#pragma once

class sysRuntime;

// Unwinds the running program. A null message is a silent end (End, closed window,
// end request); otherwise the text of an error already reported to the debugger.
struct ksEx {
  const char* message;
};

extern bool debugMode;
extern sysRuntime* currentRuntime;

// Reports a non-null message through the sysRuntime's error report, then throws.
[[noreturn]] void runtimeError(const char* message);

// Throws ksEx with a null message.
[[noreturn]] void silentEnd();

// Pumps messages; ends the program silently if it is no longer running.
void pumpOrEnd();
