// Reads an ELF32 i386 relocatable object into plain tables. Every header, section, string,
// symbol and relocation index is checked against the file; anything else is a ConvertError.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace elf2module {

namespace elf {

constexpr uint32_t SHT_PROGBITS = 1;
constexpr uint32_t SHT_SYMTAB = 2;
constexpr uint32_t SHT_STRTAB = 3;
constexpr uint32_t SHT_RELA = 4;
constexpr uint32_t SHT_NOTE = 7;
constexpr uint32_t SHT_NOBITS = 8;
constexpr uint32_t SHT_REL = 9;

constexpr uint32_t SHF_ALLOC = 0x2;
constexpr uint32_t SHF_EXECINSTR = 0x4;
constexpr uint32_t SHF_TLS = 0x400;

constexpr uint16_t SHN_UNDEF = 0;
constexpr uint16_t SHN_LORESERVE = 0xff00;
constexpr uint16_t SHN_ABS = 0xfff1;
constexpr uint16_t SHN_COMMON = 0xfff2;

constexpr uint8_t STB_LOCAL = 0;
constexpr uint8_t STB_GLOBAL = 1;
constexpr uint8_t STB_WEAK = 2;

constexpr uint8_t STT_OBJECT = 1;
constexpr uint8_t STT_FUNC = 2;
constexpr uint8_t STT_SECTION = 3;
constexpr uint8_t STT_TLS = 6;

constexpr uint32_t R_386_NONE = 0;
constexpr uint32_t R_386_32 = 1;
constexpr uint32_t R_386_PC32 = 2;
constexpr uint32_t R_386_GOT32 = 3;
constexpr uint32_t R_386_PLT32 = 4;
constexpr uint32_t R_386_GOTOFF = 9;
constexpr uint32_t R_386_GOTPC = 10;
constexpr uint32_t R_386_GOT32X = 43;

}  // namespace elf

struct ElfSection {
    std::string name;
    uint32_t type = 0;
    uint32_t flags = 0;
    uint32_t offset = 0;  // file offset of the contents (unused for SHT_NOBITS)
    uint32_t size = 0;
    uint32_t link = 0;
    uint32_t info = 0;
    uint32_t align = 1;  // a power of two; 0 in the file reads as 1
};

struct ElfSymbol {
    std::string name;
    uint32_t value = 0;  // offset in its section, or the alignment of a COMMON symbol
    uint32_t size = 0;
    uint8_t bind = 0;
    uint8_t type = 0;
    uint16_t section = 0;  // a section index, SHN_UNDEF, SHN_ABS or SHN_COMMON
};

struct ElfRelocation {
    uint32_t offset = 0;  // site in the target section; offset + 4 lies inside it
    uint32_t type = 0;
    uint32_t symbol = 0;  // a valid index into ElfObject::symbols
};

struct ElfRelocationSection {
    uint32_t target = 0;  // index of the section the relocations patch
    std::vector<ElfRelocation> entries;
};

struct ElfObject {
    std::vector<uint8_t> file;
    std::vector<ElfSection> sections;  // in file order; index 0 is the null section
    std::vector<ElfSymbol> symbols;    // index 0 is the null symbol
    std::vector<ElfRelocationSection> relocations;  // only those that patch SHF_ALLOC sections
};

// Parses and validates `file`; throws ConvertError with a clear message on any fault.
ElfObject readElfObject(std::vector<uint8_t> file);

// "R_386_GOTPC" and the like, or "type N" for a number the table does not know.
std::string relocationTypeName(uint32_t type);

}  // namespace elf2module
