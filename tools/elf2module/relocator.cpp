// i386 relocations with implicit addends (A, read from the site). P is the site's block
// offset, S the symbol's. PC32/PLT32: S + A - P, or a relative fixup keeping A.
// R_386_32: a fixup by name keeping A, or a fixup against the symbol's area start holding
// (offset in area) + A. Everything else is refused by name.
#include "tools/elf2module/relocator.h"

#include "tools/elf2module/convert_error.h"

namespace elf2module {

namespace {

uint32_t readWord(const std::vector<uint8_t>& code, uint32_t at) {
    return static_cast<uint32_t>(code[at]) | static_cast<uint32_t>(code[at + 1]) << 8 |
           static_cast<uint32_t>(code[at + 2]) << 16 | static_cast<uint32_t>(code[at + 3]) << 24;
}

void writeWord(std::vector<uint8_t>& code, uint32_t at, uint32_t value) {
    for (uint32_t i = 0; i < 4; ++i) {
        code[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// Position-independent code reaches data through a global offset table, which a module
// image does not have.
bool usesGot(uint32_t type) {
    return type == elf::R_386_GOT32 || type == elf::R_386_GOTOFF || type == elf::R_386_GOTPC ||
           type == elf::R_386_GOT32X;
}

const char* const kNoPicHint = " (position-independent code: compile with -fno-pic -fno-pie)";

std::string describeSite(const ElfObject& object, uint32_t section, const ElfRelocation& entry) {
    return relocationTypeName(entry.type) + " at offset " + std::to_string(entry.offset) + " in " +
           object.sections[section].name;
}

}  // namespace

void applyRelocations(const ElfObject& object, const CodeLayout& layout, const std::vector<std::string>& areaNames,
                      ModuleImage& image, std::vector<bool>& areaUsed) {
    for (const ElfRelocationSection& relocations : object.relocations) {
        const uint32_t sectionStart = layout.areaStart[relocations.target];
        for (const ElfRelocation& entry : relocations.entries) {
            if (entry.type == elf::R_386_NONE) {
                continue;
            }
            const bool relative = entry.type == elf::R_386_PC32 || entry.type == elf::R_386_PLT32;
            if (!relative && entry.type != elf::R_386_32) {
                throw ConvertError("unsupported relocation " + describeSite(object, relocations.target, entry) +
                                   (usesGot(entry.type) ? kNoPicHint : ""));
            }
            if (entry.symbol == 0) {
                throw ConvertError(describeSite(object, relocations.target, entry) + " refers to no symbol");
            }
            const ElfSymbol& symbol = object.symbols[entry.symbol];
            const uint32_t site = sectionStart + entry.offset;
            const uint32_t addend = readWord(image.code, site);

            if (symbol.section == elf::SHN_UNDEF) {
                if (symbol.name.empty()) {
                    throw ConvertError(describeSite(object, relocations.target, entry) +
                                       " refers to an undefined symbol without a name");
                }
                auto& fixups = relative ? image.relativeFixups : image.absoluteFixups;
                fixups.push_back({symbol.name, static_cast<int32_t>(site)});
                continue;
            }
            if (symbol.section == elf::SHN_ABS) {
                if (relative) {
                    throw ConvertError(describeSite(object, relocations.target, entry) +
                                       " is relative to absolute symbol " + symbol.name);
                }
                writeWord(image.code, site, addend + symbol.value);
                continue;
            }
            const std::optional<SymbolPlace> place = locateSymbol(object, layout, entry.symbol);
            if (!place) {
                throw ConvertError(describeSite(object, relocations.target, entry) + " refers to symbol " +
                                   symbol.name + " in a section that is not loaded");
            }
            if (relative) {
                writeWord(image.code, site, addend + place->blockOffset - site);
            } else {
                writeWord(image.code, site, addend + place->areaOffset);
                image.absoluteFixups.push_back({areaNames[place->area], static_cast<int32_t>(site)});
                areaUsed[place->area] = true;
            }
        }
    }
}

}  // namespace elf2module
