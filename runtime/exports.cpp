// The shared library's exported entries; everything else stays hidden.
#include "runtime/runtime_interface.h"
#include "runtime/runtime_singleton.h"

extern "C" __attribute__((visibility("default"))) Runtime* runtimeGetRuntime() {
  return &theRuntime();
}

extern "C" __attribute__((visibility("default"))) void ksWinMain() {
  runStandalone();
}
