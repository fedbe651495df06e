// Places every loaded (SHF_ALLOC) section of an object, and its COMMON symbols, in one code
// block behind the 5-byte entry jump, each at its alignment. Non-loaded sections are skipped.
#pragma once

#include "tools/elf2module/elf_reader.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace elf2module {

constexpr uint32_t kEntryJumpSize = 5;
constexpr uint32_t kNotPlaced = 0xffffffffu;
// Largest code block the converter builds; a bigger .bss or COMMON request is refused
// rather than allocated.
constexpr uint64_t kMaxCodeSize = 64u * 1024 * 1024;

// An area is a section of the object, or (at index sections.size()) the block of COMMON symbols.
struct CodeLayout {
    std::vector<uint8_t> code;
    std::vector<uint32_t> areaStart;     // block offset of each area, kNotPlaced if not loaded
    std::vector<uint32_t> commonOffset;  // block offset of each COMMON symbol, by symbol index

    uint32_t commonArea() const { return static_cast<uint32_t>(areaStart.size() - 1); }
};

struct SymbolPlace {
    uint32_t area = 0;
    uint32_t blockOffset = 0;
    uint32_t areaOffset = 0;  // offset from the start of the area
};

CodeLayout layoutCode(const ElfObject& object);

// Where a defined symbol lies in the block; nothing for undefined, absolute and non-loaded symbols.
std::optional<SymbolPlace> locateSymbol(const ElfObject& object, const CodeLayout& layout, uint32_t symbolIndex);

}  // namespace elf2module
