#include "runtime/module_linker.h"

#include <cstring>

#include "platform/code_memory.h"
#include "runtime/runtime_interface.h"

const char* const kUnableToRunModule = "Unable to run Kestrel Basic module";

RuntimeLinkTable buildRuntimeLinkTable(Runtime& runtime) {
  RuntimeLinkTable table;
  while (const char* name = runtime.nextSymbol()) {
    table[linkName(name)] = runtime.symbolValue(name);
  }
  return table;
}

namespace {

uint32_t readWord(const uint8_t* p) {
  uint32_t value;
  std::memcpy(&value, p, 4);
  return value;
}

void addToWord(uint8_t* p, uint32_t addend) {
  const uint32_t value = readWord(p) + addend;
  std::memcpy(p, &value, 4);
}

}  // namespace

LinkOutcome linkModuleImage(const ModuleImage& image, const RuntimeLinkTable& runtimeSymbols) {
  LinkOutcome outcome;
  const size_t size = size_t(image.codeSize);
  uint8_t* base = allocateCodeMemory(size);
  if (!base) {
    outcome.error = kUnableToRunModule;
    outcome.exitCode = -1;
    return outcome;
  }
  std::memcpy(base, image.code, size);

  std::map<std::string, uint32_t> moduleSymbols;
  for (const ModuleRecord& symbol : image.symbols) {
    moduleSymbols[symbol.name] = uint32_t(reinterpret_cast<uintptr_t>(base)) + uint32_t(symbol.offset);
  }
  auto resolve = [&](const std::string& name, uint32_t& target) {
    if (auto m = moduleSymbols.find(name); m != moduleSymbols.end()) {
      target = m->second;
      return true;
    }
    if (auto r = runtimeSymbols.find(name); r != runtimeSymbols.end()) {
      target = uint32_t(r->second);
      return true;
    }
    return false;
  };
  for (const auto* fixups : {&image.relativeFixups, &image.absoluteFixups}) {
    const bool relative = fixups == &image.relativeFixups;
    for (const ModuleRecord& fixup : *fixups) {
      uint32_t target = 0;
      if (!resolve(fixup.name, target)) {
        outcome.error = "Can't find symbol: " + fixup.name;
        outcome.exitCode = 0;
        return outcome;
      }
      uint8_t* site = base + fixup.offset;
      const uint32_t siteAddress = uint32_t(reinterpret_cast<uintptr_t>(site));
      addToWord(site, relative ? target - siteAddress : target);
    }
  }
  if (!makeCodeExecutable(base, size)) {
    outcome.error = kUnableToRunModule;
    outcome.exitCode = -1;
    return outcome;
  }
  outcome.code = base;
  return outcome;
}

LinkOutcome linkModuleBytes(const uint8_t* data, size_t size, const RuntimeLinkTable& runtimeSymbols) {
  const std::optional<ModuleImage> image = readModuleImage(data, size);
  if (!image) {
    return LinkOutcome{nullptr, kUnableToRunModule, -1};
  }
  return linkModuleImage(*image, runtimeSymbols);
}
