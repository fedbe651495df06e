// The conversion in order: read, lay out, entry jump, exported symbols, relocations,
// section start symbols.
#include "tools/elf2module/converter.h"

#include "tools/elf2module/code_layout.h"
#include "tools/elf2module/convert_error.h"
#include "tools/elf2module/elf_reader.h"
#include "tools/elf2module/relocator.h"
#include "tools/elf2module/section_symbols.h"

#include <algorithm>
#include <set>

namespace elf2module {

namespace {

constexpr const char* kEntryName = "__MAIN";
constexpr uint8_t kJmpRel32 = 0xe9;

bool isGlobal(const ElfSymbol& symbol) { return symbol.bind == elf::STB_GLOBAL || symbol.bind == elf::STB_WEAK; }

void writeEntryJump(const ElfObject& object, const CodeLayout& layout, ModuleImage& image) {
    for (uint32_t i = 1; i < object.symbols.size(); ++i) {
        const ElfSymbol& symbol = object.symbols[i];
        if (symbol.name != kEntryName || !isGlobal(symbol) || symbol.section == elf::SHN_UNDEF) {
            continue;
        }
        const std::optional<SymbolPlace> place = locateSymbol(object, layout, i);
        if (!place || place->area == layout.commonArea() ||
            (object.sections[place->area].flags & elf::SHF_EXECINSTR) == 0) {
            throw ConvertError("__MAIN is not defined in a code section");
        }
        const uint32_t displacement = place->blockOffset - kEntryJumpSize;
        image.code[0] = kJmpRel32;
        for (uint32_t b = 0; b < 4; ++b) {
            image.code[1 + b] = static_cast<uint8_t>(displacement >> (8 * b));
        }
        return;
    }
    throw ConvertError("object defines no global function __MAIN (the program entry)");
}

void addExportedSymbols(const ElfObject& object, const CodeLayout& layout, ModuleImage& image) {
    std::set<std::string> seen;
    for (uint32_t i = 1; i < object.symbols.size(); ++i) {
        const ElfSymbol& symbol = object.symbols[i];
        if (!isGlobal(symbol) || symbol.section == elf::SHN_UNDEF) {
            continue;
        }
        if (symbol.name.empty()) {
            throw ConvertError("global symbol #" + std::to_string(i) + " has no name");
        }
        if (!seen.insert(symbol.name).second) {
            throw ConvertError("global symbol " + symbol.name + " is defined twice");
        }
        const std::optional<SymbolPlace> place = locateSymbol(object, layout, i);
        if (!place) {
            throw ConvertError("global symbol " + symbol.name +
                               " is absolute or lies in a section that is not loaded; modules cannot export it");
        }
        image.symbols.push_back({symbol.name, static_cast<int32_t>(place->blockOffset)});
    }
}

// The loader accepts symbols only strictly inside the code, so a symbol at the very end of
// the block (an empty last section, a label after the last byte) gets one byte of padding.
void padForSymbols(ModuleImage& image) {
    size_t needed = image.code.size();
    for (const ModuleRecord& symbol : image.symbols) {
        needed = std::max(needed, static_cast<size_t>(symbol.offset) + 1);
    }
    image.code.resize(needed, 0);
}

}  // namespace

ModuleImage convertObject(std::vector<uint8_t> objectFile) {
    const ElfObject object = readElfObject(std::move(objectFile));
    CodeLayout layout = layoutCode(object);
    ModuleImage image;
    image.code = std::move(layout.code);

    writeEntryJump(object, layout, image);
    addExportedSymbols(object, layout, image);

    const std::vector<std::string> areaNames = sectionSymbolNames(object, layout);
    std::vector<bool> areaUsed(areaNames.size(), false);
    applyRelocations(object, layout, areaNames, image, areaUsed);
    for (size_t area = 0; area < areaNames.size(); ++area) {
        if (areaUsed[area]) {
            image.symbols.push_back({areaNames[area], static_cast<int32_t>(layout.areaStart[area])});
        }
    }
    padForSymbols(image);
    return image;
}

}  // namespace elf2module
