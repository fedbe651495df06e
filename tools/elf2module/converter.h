// Turns the bytes of an ELF32 i386 relocatable object into a module image whose code
// starts with a jump to the object's __MAIN. Throws ConvertError for anything it refuses.
#pragma once

#include "tools/elf2module/module_image.h"

#include <cstdint>
#include <vector>

namespace elf2module {

ModuleImage convertObject(std::vector<uint8_t> objectFile);

}  // namespace elf2module
