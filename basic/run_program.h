// The life of one program run: modules created in order, the program called, its
// end reported, modules destroyed in reverse order.
#pragma once

class sysRuntime;
using ProgramEntry = void (*)();

// Null after a normal end or End; "Unable to start program" when a module failed to
// create; otherwise the message of the runtime error that ended the program.
const char* runProgram(sysRuntime* runtime, ProgramEntry entry, bool debugMode);

struct LanguageModule {
  bool (*create)();
  void (*destroy)();
  const char* failure;  // the start-up error text when create fails
};

// Creates in order, stopping at the first failure: reports it, destroys the modules
// created so far in reverse order and returns false.
bool createModules(const LanguageModule* modules, int count);
void destroyModules(const LanguageModule* modules, int count);

bool createAll();
void destroyAll();
void startupError(const char* text);
