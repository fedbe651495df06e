// Code block layout: sections in file order, then COMMON symbols; .bss and COMMON zero-filled.
#include "tools/elf2module/code_layout.h"

#include "tools/elf2module/convert_error.h"

#include <algorithm>
#include <string>

namespace elf2module {

namespace {

uint64_t alignUp(uint64_t value, uint64_t align) { return (value + align - 1) / align * align; }

void requireRoom(uint64_t end, const std::string& what) {
    if (end > kMaxCodeSize) {
        throw ConvertError(what + " does not fit: the code block would exceed " +
                           std::to_string(kMaxCodeSize / (1024 * 1024)) + " MiB");
    }
}

bool isLoadableType(uint32_t type) {
    return type == elf::SHT_PROGBITS || type == elf::SHT_NOBITS || type == elf::SHT_NOTE;
}

}  // namespace

CodeLayout layoutCode(const ElfObject& object) {
    const std::vector<ElfSection>& sections = object.sections;
    CodeLayout layout;
    layout.areaStart.assign(sections.size() + 1, kNotPlaced);
    layout.commonOffset.assign(object.symbols.size(), kNotPlaced);

    // First pass: offsets only, so that the block is allocated once.
    uint64_t end = kEntryJumpSize;
    for (size_t i = 1; i < sections.size(); ++i) {
        const ElfSection& section = sections[i];
        if ((section.flags & elf::SHF_ALLOC) == 0) {
            continue;
        }
        if ((section.flags & elf::SHF_TLS) != 0) {
            throw ConvertError("section " + section.name + " is thread-local, which modules do not support");
        }
        // Constructor tables and the like would be laid out but never run: refuse them.
        if (!isLoadableType(section.type)) {
            throw ConvertError("loaded section " + section.name + " has unsupported type " +
                               std::to_string(section.type));
        }
        const uint64_t start = alignUp(end, section.align);
        end = start + section.size;
        requireRoom(end, "section " + section.name);
        layout.areaStart[i] = static_cast<uint32_t>(start);
    }

    layout.areaStart[layout.commonArea()] = static_cast<uint32_t>(end);
    for (size_t i = 1; i < object.symbols.size(); ++i) {
        const ElfSymbol& symbol = object.symbols[i];
        if (symbol.section != elf::SHN_COMMON) {
            continue;
        }
        // A COMMON symbol's value is its alignment.
        const uint32_t align = std::max<uint32_t>(symbol.value, 1);
        if ((align & (align - 1)) != 0) {
            throw ConvertError("COMMON symbol " + symbol.name + " has alignment " + std::to_string(align) +
                               ", which is not a power of two");
        }
        const uint64_t start = alignUp(end, align);
        end = start + symbol.size;
        requireRoom(end, "COMMON symbol " + symbol.name);
        layout.commonOffset[i] = static_cast<uint32_t>(start);
    }

    layout.code.assign(static_cast<size_t>(end), 0);
    for (size_t i = 1; i < sections.size(); ++i) {
        const ElfSection& section = sections[i];
        if (layout.areaStart[i] == kNotPlaced || section.type == elf::SHT_NOBITS) {
            continue;
        }
        std::copy_n(object.file.begin() + section.offset, section.size, layout.code.begin() + layout.areaStart[i]);
    }
    return layout;
}

std::optional<SymbolPlace> locateSymbol(const ElfObject& object, const CodeLayout& layout, uint32_t symbolIndex) {
    const ElfSymbol& symbol = object.symbols.at(symbolIndex);
    if (symbol.section == elf::SHN_COMMON) {
        const uint32_t area = layout.commonArea();
        const uint32_t offset = layout.commonOffset[symbolIndex];
        return SymbolPlace{area, offset, offset - layout.areaStart[area]};
    }
    if (symbol.section == elf::SHN_UNDEF || symbol.section >= elf::SHN_LORESERVE ||
        layout.areaStart[symbol.section] == kNotPlaced) {
        return std::nullopt;
    }
    // The reader checked value <= section size, and the section lies inside the block.
    return SymbolPlace{symbol.section, layout.areaStart[symbol.section] + symbol.value, symbol.value};
}

}  // namespace elf2module
