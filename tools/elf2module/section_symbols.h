// Names of the module symbols that mark the start of each placed area ("__section.text",
// "__section.data", "__section.common"). The dot keeps them apart from C names.
#pragma once

#include "tools/elf2module/code_layout.h"
#include "tools/elf2module/elf_reader.h"

#include <string>
#include <vector>

namespace elf2module {

// One name per area (empty for areas not placed), unique among themselves and among every
// symbol name of the object.
std::vector<std::string> sectionSymbolNames(const ElfObject& object, const CodeLayout& layout);

}  // namespace elf2module
