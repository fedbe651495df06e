// The module image in memory: the code block, its exported symbols and its two fixup
// tables. Offsets are code offsets; module_writer turns this into the file format.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace elf2module {

struct ModuleRecord {
    std::string name;
    int32_t offset = 0;  // symbol offset, or the patch site of a fixup
};

struct ModuleImage {
    std::vector<uint8_t> code;  // offset 0 is the entry point
    std::vector<ModuleRecord> symbols;
    std::vector<ModuleRecord> relativeFixups;  // site word += target - site
    std::vector<ModuleRecord> absoluteFixups;  // site word += target
};

}  // namespace elf2module
