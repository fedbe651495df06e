// runtimeError, silent ends and the process-wide run state shared by every module.
#include "basic/ks_error.h"

#include "host/sys_runtime.h"

bool debugMode = false;
sysRuntime* currentRuntime = nullptr;

void runtimeError(const char* message) {
  if (message && currentRuntime) {
    currentRuntime->reportError(message);
  }
  throw ksEx{message};
}

void silentEnd() {
  throw ksEx{nullptr};
}

void pumpOrEnd() {
  if (currentRuntime && !currentRuntime->pollEvents()) {
    silentEnd();
  }
}
