// The core commands that belong to no module, and the debugger hooks compiled code
// calls. Everything stateful is the sysRuntime's.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "host/sys_runtime.h"
#include "host/sys_timer.h"
#include "platform/clock.h"
#include "runtime/entry.h"
#include "runtime/modules.h"

namespace {

// The message of the last RuntimeError command: at most 255 characters.
char runtimeErrorText[256];

sysTimer* timerFromHandle(int32_t handle) {
  return reinterpret_cast<sysTimer*>(intptr_t(handle));
}

void cmdEnd() {
  silentEnd();
}

void cmdStop() {
  currentRuntime->stopProgram();
  pumpOrEnd();
}

void cmdAppTitle(ksStr* title, ksStr* prompt) {
  currentRuntime->setTitle(ksStrText(title), ksStrText(prompt));
  ksStrRelease(title);
  ksStrRelease(prompt);
}

void cmdRuntimeError(ksStr* message) {
  const std::string text = ksStrTake(message);
  const size_t length = text.size() < 255 ? text.size() : 255;
  std::memcpy(runtimeErrorText, text.data(), length);
  runtimeErrorText[length] = '\0';
  runtimeError(runtimeErrorText);
}

void cmdExecFile(ksStr* command) {
  currentRuntime->execFile(ksStrTake(command));
  pumpOrEnd();
}

void cmdDelay(int32_t milliseconds) {
  if (!currentRuntime->delay(milliseconds)) {
    silentEnd();
  }
}

int32_t cmdMilliSecs() {
  return int32_t(monotonicMillis());
}

ksStr* cmdCommandLine() {
  return ksStrNew(currentRuntime->commandLine());
}

ksStr* cmdSystemProperty(ksStr* property) {
  return ksStrNew(currentRuntime->systemProperty(ksStrTake(property)));
}

ksStr* cmdGetEnv(ksStr* name) {
  const char* value = std::getenv(ksStrText(name));
  ksStr* result = ksStrNew(value ? value : "");
  ksStrRelease(name);
  return result;
}

void cmdSetEnv(ksStr* name, ksStr* value) {
  // An empty value removes the variable, as the language documents.
  if (ksStrText(value)[0] == '\0') {
    unsetenv(ksStrText(name));
  } else {
    setenv(ksStrText(name), ksStrText(value), 1);
  }
  ksStrRelease(name);
  ksStrRelease(value);
}

int32_t cmdCreateTimer(int32_t hertz) {
  return int32_t(reinterpret_cast<intptr_t>(currentRuntime->createTimer(hertz)));
}

int32_t cmdWaitTimer(int32_t timer) {
  const int32_t ticks = currentRuntime->waitTimer(timerFromHandle(timer));
  pumpOrEnd();
  return ticks;
}

void cmdFreeTimer(int32_t timer) {
  currentRuntime->freeTimer(timerFromHandle(timer));
}

void cmdDebugLog(ksStr* text) {
  currentRuntime->debugLog(ksStrText(text));
  ksStrRelease(text);
}

void debugStmt(int32_t a, int32_t b) {
  currentRuntime->debugStatement(a, b);
  pumpOrEnd();
}

void debugEnter(int32_t a, int32_t b, int32_t c) {
  currentRuntime->debugEnter(a, b, c);
}

void debugLeave() {
  currentRuntime->debugLeave();
}

}  // namespace

void core_link(LinkCallback link) {
  link("End", ksEntry<&cmdEnd>());
  link("Stop", ksEntry<&cmdStop>());
  link("AppTitle$title$close_prompt=\"\"", ksEntry<&cmdAppTitle>());
  link("RuntimeError$message", ksEntry<&cmdRuntimeError>());
  link("ExecFile$command", ksEntry<&cmdExecFile>());
  link("Delay%millisecs", ksEntry<&cmdDelay>());
  link("%MilliSecs", ksEntry<&cmdMilliSecs>());
  link("$CommandLine", ksEntry<&cmdCommandLine>());
  link("$SystemProperty$property", ksEntry<&cmdSystemProperty>());
  link("$GetEnv$env_var", ksEntry<&cmdGetEnv>());
  link("SetEnv$env_var$value", ksEntry<&cmdSetEnv>());
  link("%CreateTimer%hertz", ksEntry<&cmdCreateTimer>());
  link("%WaitTimer%timer", ksEntry<&cmdWaitTimer>());
  link("FreeTimer%timer", ksEntry<&cmdFreeTimer>());
  link("DebugLog$text", ksEntry<&cmdDebugLog>());
  link("_ksDebugStmt", ksEntry<&debugStmt>());
  link("_ksDebugEnter", ksEntry<&debugEnter>());
  link("_ksDebugLeave", ksEntry<&debugLeave>());
}
