// Section start names: "__section" + section name, with "#index" added when two sections
// share a name or the result collides with a symbol of the object.
#include "tools/elf2module/section_symbols.h"

#include <set>

namespace elf2module {

std::vector<std::string> sectionSymbolNames(const ElfObject& object, const CodeLayout& layout) {
    std::set<std::string> taken;
    for (const ElfSymbol& symbol : object.symbols) {
        taken.insert(symbol.name);
    }
    std::vector<std::string> names(layout.areaStart.size());
    for (size_t area = 0; area < names.size(); ++area) {
        if (layout.areaStart[area] == kNotPlaced) {
            continue;
        }
        const std::string& sectionName = area == layout.commonArea() ? ".common" : object.sections[area].name;
        std::string name = std::string("__section") + (sectionName.empty() || sectionName[0] != '.' ? "." : "") + sectionName;
        if (taken.count(name) != 0) {
            name += "#" + std::to_string(area);
        }
        while (taken.count(name) != 0) {
            name += "#";
        }
        taken.insert(name);
        names[area] = name;
    }
    return names;
}

}  // namespace elf2module
