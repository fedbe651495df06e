// Serialises a ModuleImage: code size, code, then the symbol, relative fixup and absolute
// fixup tables, each a count followed by (name, zero byte, 32-bit offset) records.
#pragma once

#include "tools/elf2module/module_image.h"

#include <cstdint>
#include <vector>

namespace elf2module {

std::vector<uint8_t> writeModuleImage(const ModuleImage& image);

}  // namespace elf2module
