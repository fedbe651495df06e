// ELF32 little-endian i386 relocatable objects: header, section table, the one symbol table
// and the REL sections of loaded sections. Reads only through checked helpers.
#include "tools/elf2module/elf_reader.h"

#include "tools/elf2module/convert_error.h"

#include <cstring>

namespace elf2module {

namespace {

constexpr size_t kHeaderSize = 52;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kSymbolSize = 16;
constexpr size_t kRelSize = 8;
constexpr uint16_t kTypeRelocatable = 1;
constexpr uint16_t kMachine386 = 3;
constexpr uint16_t kXIndex = 0xffff;

[[noreturn]] void fail(const std::string& message) { throw ConvertError(message); }

// A bounds-checked little-endian view of the file.
class Bytes {
public:
    explicit Bytes(const std::vector<uint8_t>& data) : data_(data) {}

    bool holds(uint64_t offset, uint64_t length) const {
        return offset <= data_.size() && length <= data_.size() - offset;
    }
    uint8_t u8(uint64_t offset) const {
        require(offset, 1);
        return data_[offset];
    }
    uint16_t u16(uint64_t offset) const {
        require(offset, 2);
        return static_cast<uint16_t>(data_[offset] | data_[offset + 1] << 8);
    }
    uint32_t u32(uint64_t offset) const {
        require(offset, 4);
        return static_cast<uint32_t>(data_[offset]) | static_cast<uint32_t>(data_[offset + 1]) << 8 |
               static_cast<uint32_t>(data_[offset + 2]) << 16 |
               static_cast<uint32_t>(data_[offset + 3]) << 24;
    }

private:
    void require(uint64_t offset, uint64_t length) const {
        if (!holds(offset, length)) {
            fail("read past the end of the file");
        }
    }
    const std::vector<uint8_t>& data_;
};

bool isPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

// The zero-terminated string at `offset` inside string table `table`.
std::string stringAt(const std::vector<uint8_t>& file, const ElfSection& table, uint32_t offset,
                     const char* what) {
    if (offset >= table.size) {
        fail(std::string(what) + " name offset " + std::to_string(offset) + " lies outside string table " +
             table.name);
    }
    const char* begin = reinterpret_cast<const char*>(file.data()) + table.offset + offset;
    const void* end = std::memchr(begin, 0, table.size - offset);
    if (end == nullptr) {
        fail(std::string(what) + " name at offset " + std::to_string(offset) + " is not terminated in " +
             table.name);
    }
    return std::string(begin, static_cast<const char*>(end));
}

void readHeaderIdentity(const Bytes& in, const std::vector<uint8_t>& file) {
    if (file.size() < kHeaderSize) {
        fail("file is too short for an ELF header (" + std::to_string(file.size()) + " bytes)");
    }
    if (std::memcmp(file.data(), "\x7f" "ELF", 4) != 0) {
        fail("not an ELF file (bad magic number)");
    }
    if (in.u8(4) != 1) {
        fail("not a 32-bit ELF file");
    }
    if (in.u8(5) != 1) {
        fail("not a little-endian ELF file");
    }
    if (in.u8(6) != 1 || in.u32(20) != 1) {
        fail("unknown ELF version");
    }
    if (in.u16(16) != kTypeRelocatable) {
        fail("not a relocatable object (ELF type " + std::to_string(in.u16(16)) + ")");
    }
    if (in.u16(18) != kMachine386) {
        fail("not an i386 object (ELF machine " + std::to_string(in.u16(18)) + ")");
    }
}

std::vector<ElfSection> readSections(const Bytes& in, const std::vector<uint8_t>& file) {
    const uint32_t tableOffset = in.u32(32);
    const uint16_t entrySize = in.u16(46);
    const uint16_t count = in.u16(48);
    const uint16_t namesIndex = in.u16(50);
    if (tableOffset == 0 || count == 0) {
        fail("object has no section header table (or uses extended section numbering)");
    }
    if (entrySize != kSectionHeaderSize) {
        fail("section header size is " + std::to_string(entrySize) + ", expected 40");
    }
    if (!in.holds(tableOffset, uint64_t{count} * kSectionHeaderSize)) {
        fail("section header table lies outside the file");
    }
    if (namesIndex == kXIndex || namesIndex >= count) {
        fail("section name table index " + std::to_string(namesIndex) + " is out of range");
    }

    std::vector<uint32_t> nameOffsets(count);
    std::vector<ElfSection> sections(count);
    for (uint16_t i = 0; i < count; ++i) {
        const uint64_t at = tableOffset + uint64_t{i} * kSectionHeaderSize;
        ElfSection& section = sections[i];
        nameOffsets[i] = in.u32(at);
        section.type = in.u32(at + 4);
        section.flags = in.u32(at + 8);
        section.offset = in.u32(at + 16);
        section.size = in.u32(at + 20);
        section.link = in.u32(at + 24);
        section.info = in.u32(at + 28);
        const uint32_t align = in.u32(at + 32);
        section.align = align == 0 ? 1 : align;
        if (!isPowerOfTwo(section.align)) {
            fail("section " + std::to_string(i) + " has alignment " + std::to_string(align) +
                 ", which is not a power of two");
        }
        if (section.type != elf::SHT_NOBITS && section.type != 0 &&
            !in.holds(section.offset, section.size)) {
            fail("contents of section " + std::to_string(i) + " lie outside the file");
        }
    }

    const ElfSection& names = sections[namesIndex];
    if (names.type != elf::SHT_STRTAB) {
        fail("section name table is not a string table");
    }
    for (uint16_t i = 0; i < count; ++i) {
        sections[i].name = stringAt(file, names, nameOffsets[i], "section");
    }
    return sections;
}

const ElfSection& stringTableFor(const std::vector<ElfSection>& sections, uint32_t link, const std::string& user) {
    if (link == 0 || link >= sections.size() || sections[link].type != elf::SHT_STRTAB) {
        fail("section " + user + " does not link to a string table");
    }
    return sections[link];
}

// Returns the index of the one symbol table, 0 when the object has none.
uint32_t findSymbolTable(const std::vector<ElfSection>& sections) {
    uint32_t found = 0;
    for (uint32_t i = 1; i < sections.size(); ++i) {
        if (sections[i].type == elf::SHT_SYMTAB) {
            if (found != 0) {
                fail("object has more than one symbol table");
            }
            found = i;
        }
    }
    return found;
}

std::vector<ElfSymbol> readSymbols(const Bytes& in, const std::vector<uint8_t>& file,
                                   const std::vector<ElfSection>& sections, uint32_t tableIndex) {
    std::vector<ElfSymbol> symbols;
    if (tableIndex == 0) {
        symbols.emplace_back();  // the null symbol, so that index 0 stays valid
        return symbols;
    }
    const ElfSection& table = sections[tableIndex];
    if (table.size % kSymbolSize != 0) {
        fail("symbol table size " + std::to_string(table.size) + " is not a multiple of 16");
    }
    const ElfSection& names = stringTableFor(sections, table.link, table.name);
    const uint32_t count = table.size / kSymbolSize;
    if (count == 0) {
        fail("symbol table is empty (it needs at least the null symbol)");
    }
    symbols.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t at = uint64_t{table.offset} + uint64_t{i} * kSymbolSize;
        ElfSymbol& symbol = symbols[i];
        symbol.name = stringAt(file, names, in.u32(at), "symbol");
        symbol.value = in.u32(at + 4);
        symbol.size = in.u32(at + 8);
        const uint8_t info = in.u8(at + 12);
        symbol.bind = info >> 4;
        symbol.type = info & 0xf;
        symbol.section = in.u16(at + 14);
        const std::string label = "symbol " + (symbol.name.empty() ? "#" + std::to_string(i) : symbol.name);
        if (symbol.section == kXIndex) {
            fail(label + " uses extended section numbering, which is not supported");
        }
        if (symbol.section >= elf::SHN_LORESERVE && symbol.section != elf::SHN_ABS &&
            symbol.section != elf::SHN_COMMON) {
            fail(label + " has reserved section index " + std::to_string(symbol.section));
        }
        if (symbol.section != elf::SHN_UNDEF && symbol.section < elf::SHN_LORESERVE) {
            if (symbol.section >= sections.size()) {
                fail(label + " refers to section " + std::to_string(symbol.section) + ", which does not exist");
            }
            if (symbol.value > sections[symbol.section].size) {
                fail(label + " lies outside its section " + sections[symbol.section].name);
            }
        }
        if (symbol.bind != elf::STB_LOCAL && symbol.bind != elf::STB_GLOBAL && symbol.bind != elf::STB_WEAK) {
            fail(label + " has unknown binding " + std::to_string(symbol.bind));
        }
        if (symbol.type == elf::STT_TLS) {
            fail(label + " is thread-local, which modules do not support");
        }
    }
    return symbols;
}

ElfRelocationSection readRelocationSection(const Bytes& in, const std::vector<ElfSection>& sections,
                                           const ElfSection& rel, uint32_t symbolTable, size_t symbolCount) {
    if (rel.link != symbolTable || symbolTable == 0) {
        fail("relocation section " + rel.name + " does not link to the symbol table");
    }
    if (rel.size % kRelSize != 0) {
        fail("relocation section " + rel.name + " size is not a multiple of 8");
    }
    ElfRelocationSection result;
    result.target = rel.info;
    const ElfSection& target = sections[rel.info];
    if (target.type == elf::SHT_NOBITS) {
        fail("relocation section " + rel.name + " patches " + target.name + ", which has no contents");
    }
    const uint32_t count = rel.size / kRelSize;
    result.entries.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t at = uint64_t{rel.offset} + uint64_t{i} * kRelSize;
        ElfRelocation& entry = result.entries[i];
        entry.offset = in.u32(at);
        const uint32_t info = in.u32(at + 4);
        entry.type = info & 0xff;
        entry.symbol = info >> 8;
        if (entry.symbol >= symbolCount) {
            fail("relocation " + std::to_string(i) + " of " + rel.name + " refers to symbol " +
                 std::to_string(entry.symbol) + ", which does not exist");
        }
        if (entry.offset > target.size || target.size - entry.offset < 4) {
            fail("relocation " + std::to_string(i) + " of " + rel.name + " patches offset " +
                 std::to_string(entry.offset) + ", outside " + target.name);
        }
    }
    return result;
}

}  // namespace

ElfObject readElfObject(std::vector<uint8_t> file) {
    ElfObject object;
    object.file = std::move(file);
    const Bytes in(object.file);
    readHeaderIdentity(in, object.file);
    object.sections = readSections(in, object.file);
    const uint32_t symbolTable = findSymbolTable(object.sections);
    object.symbols = readSymbols(in, object.file, object.sections, symbolTable);

    for (const ElfSection& section : object.sections) {
        if (section.type != elf::SHT_REL && section.type != elf::SHT_RELA) {
            continue;
        }
        if (section.info == 0 || section.info >= object.sections.size()) {
            fail("relocation section " + section.name + " patches section " + std::to_string(section.info) +
                 ", which does not exist");
        }
        // Relocations of sections that are not loaded (debug information) have no effect on the image.
        if ((object.sections[section.info].flags & elf::SHF_ALLOC) == 0) {
            continue;
        }
        if (section.type == elf::SHT_RELA) {
            fail("relocation section " + section.name + " has explicit addends (RELA), which i386 objects do not use");
        }
        object.relocations.push_back(
            readRelocationSection(in, object.sections, section, symbolTable, object.symbols.size()));
    }
    return object;
}

std::string relocationTypeName(uint32_t type) {
    static const char* const kNames[] = {
        "R_386_NONE",      "R_386_32",        "R_386_PC32",       "R_386_GOT32",      "R_386_PLT32",
        "R_386_COPY",      "R_386_GLOB_DAT",  "R_386_JMP_SLOT",   "R_386_RELATIVE",   "R_386_GOTOFF",
        "R_386_GOTPC",     "R_386_32PLT",     nullptr,            nullptr,            "R_386_TLS_TPOFF",
        "R_386_TLS_IE",    "R_386_TLS_GOTIE", "R_386_TLS_LE",     "R_386_TLS_GD",     "R_386_TLS_LDM",
        "R_386_16",        "R_386_PC16",      "R_386_8",          "R_386_PC8",        "R_386_TLS_GD_32",
        "R_386_TLS_GD_PUSH", "R_386_TLS_GD_CALL", "R_386_TLS_GD_POP", "R_386_TLS_LDM_32", "R_386_TLS_LDM_PUSH",
        "R_386_TLS_LDM_CALL", "R_386_TLS_LDM_POP", "R_386_TLS_LDO_32", "R_386_TLS_IE_32", "R_386_TLS_LE_32",
        "R_386_TLS_DTPMOD32", "R_386_TLS_DTPOFF32", "R_386_TLS_TPOFF32", "R_386_SIZE32", "R_386_TLS_GOTDESC",
        "R_386_TLS_DESC_CALL", "R_386_TLS_DESC", "R_386_IRELATIVE", "R_386_GOT32X",
    };
    constexpr uint32_t count = sizeof(kNames) / sizeof(kNames[0]);
    if (type < count && kNames[type] != nullptr) {
        return kNames[type];
    }
    return "relocation type " + std::to_string(type);
}

}  // namespace elf2module
