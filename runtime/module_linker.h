// Links a ModuleImage against the runtime's symbols: copies the code into executable
// memory, enters the module's symbols, then patches every fixup.
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "runtime/module_image.h"

class Runtime;

// Link name -> entry address, from one full enumeration of the Runtime.
using RuntimeLinkTable = std::map<std::string, int32_t>;
RuntimeLinkTable buildRuntimeLinkTable(Runtime& runtime);

struct LinkOutcome {
  uint8_t* code = nullptr;  // the program entry; null on failure
  std::string error;        // the message box text on failure
  int exitCode = 0;         // the process exit code that goes with the failure
};

// The message for a missing, unreadable or malformed module.
extern const char* const kUnableToRunModule;

LinkOutcome linkModuleImage(const ModuleImage& image, const RuntimeLinkTable& runtimeSymbols);
// Reads and links raw image bytes (kUnableToRunModule with -1 when malformed).
LinkOutcome linkModuleBytes(const uint8_t* data, size_t size, const RuntimeLinkTable& runtimeSymbols);
