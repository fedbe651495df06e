// The ModuleImage: a compiled program's code with its symbol and fixup tables, and
// the one reader of that format. The reader never reads past the end of the image;
// an image it accepts can be linked without writing outside the code.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ModuleRecord {
  std::string name;
  int32_t offset;  // into the code
};

struct ModuleImage {
  const uint8_t* code = nullptr;  // points into the bytes given to the reader
  int32_t codeSize = 0;
  std::vector<ModuleRecord> symbols;
  std::vector<ModuleRecord> relativeFixups;
  std::vector<ModuleRecord> absoluteFixups;
};

// Null when the image is malformed: truncated, a count larger than the data, a name
// without its zero byte, a symbol outside the code, or a fixup site whose 4 bytes
// are not all inside the code.
std::optional<ModuleImage> readModuleImage(const uint8_t* data, size_t size);

// The name compiled code uses for a registered signature: "_ksStrLoad" becomes
// "__ksStrLoad", "%KeyDown%key" becomes "_fkeydown".
std::string linkName(const char* signature);
