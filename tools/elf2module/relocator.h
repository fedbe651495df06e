// Applies the object's relocations to the laid-out block: references inside the object are
// resolved in place, references to undefined names and all absolute addresses become fixups.
#pragma once

#include "tools/elf2module/code_layout.h"
#include "tools/elf2module/elf_reader.h"
#include "tools/elf2module/module_image.h"

#include <string>
#include <vector>

namespace elf2module {

// Patches image.code (which holds the layout's block) and appends the fixups to image.
// Absolute fixups against an area use areaNames[area]; areaUsed[area] is set for each.
void applyRelocations(const ElfObject& object, const CodeLayout& layout, const std::vector<std::string>& areaNames,
                      ModuleImage& image, std::vector<bool>& areaUsed);

}  // namespace elf2module
