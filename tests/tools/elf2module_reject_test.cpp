// Objects the converter must refuse, cleanly: no __MAIN, code it cannot relocate, truncated
// or corrupted files, random byte damage; and the tool's exit status and output file.
#include "tests/tools/module_test_support.h"
#include "tools/elf2module/convert_error.h"
#include "tools/elf2module/converter.h"
#include "tools/elf2module/elf_reader.h"
#include "tools/elf2module/module_writer.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <random>

namespace {

using namespace elf2module;

const std::vector<uint8_t>& programObject() {
    static const std::vector<uint8_t> bytes = readFileBytes(PROGRAM_OBJECT);
    return bytes;
}

// The converter's message for `object`, or "" when it converts.
std::string rejection(const std::vector<uint8_t>& object) {
    try {
        convertObject(object);
    } catch (const ConvertError& e) {
        return e.what()[0] == '\0' ? "(empty message)" : e.what();
    }
    return "";
}

TEST(Elf2ModuleReject, ObjectWithoutMainIsRejected) {
    EXPECT_NE(rejection(readFileBytes(FIXTURE_DIR "/no_main.o")).find("__MAIN"), std::string::npos);
}

TEST(Elf2ModuleReject, MainThatIsDataIsRejected) {
    std::vector<uint8_t> object = programObject();
    ASSERT_EQ(rejection(object), "");
    // Swap the names of the entry function and the data array "table".
    const ElfObject parsed = readElfObject(object);
    const uint32_t symtab = elfpatch::findSection(object, elf::SHT_SYMTAB);
    const size_t symbols = elfpatch::u32(object, elfpatch::sectionHeader(object, symtab) + 16);
    size_t mainEntry = 0;
    size_t tableEntry = 0;
    for (uint32_t i = 0; i < parsed.symbols.size(); ++i) {
        if (parsed.symbols[i].name == "__MAIN") {
            mainEntry = symbols + i * 16;
        } else if (parsed.symbols[i].name == "table") {
            tableEntry = symbols + i * 16;
        }
    }
    ASSERT_NE(mainEntry, 0u);
    ASSERT_NE(tableEntry, 0u);
    const uint32_t mainName = elfpatch::u32(object, mainEntry);
    elfpatch::setU32(object, mainEntry, elfpatch::u32(object, tableEntry));
    elfpatch::setU32(object, tableEntry, mainName);
    EXPECT_NE(rejection(object).find("__MAIN is not defined in a code section"), std::string::npos);
}

TEST(Elf2ModuleReject, PositionIndependentCodeIsRejectedNamingTheRelocation) {
    const std::string message = rejection(readFileBytes(FIXTURE_DIR "/pic.o"));
    EXPECT_NE(message.find("unsupported relocation R_386_GOT"), std::string::npos) << message;
    EXPECT_NE(message.find("compile with -fno-pic -fno-pie"), std::string::npos) << message;
}

TEST(Elf2ModuleReject, OnlyGlobalOffsetTableRelocationsHintAtPositionIndependentCode) {
    const uint32_t rel = elfpatch::findSection(programObject(), elf::SHT_REL);
    ASSERT_NE(rel, 0u);
    const size_t firstEntry = elfpatch::u32(programObject(), elfpatch::sectionHeader(programObject(), rel) + 16);
    const std::pair<uint8_t, bool> cases[] = {{3, true}, {9, true}, {10, true}, {43, true}, {20, false}};
    for (const auto& [type, hinted] : cases) {
        std::vector<uint8_t> object = programObject();
        object[firstEntry + 4] = type;
        EXPECT_EQ(rejection(object).find("-fno-pic -fno-pie") != std::string::npos, hinted) << rejection(object);
    }
}

TEST(Elf2ModuleReject, EachUnsupportedRelocationTypeIsNamed) {
    const uint32_t rel = elfpatch::findSection(programObject(), elf::SHT_REL);
    ASSERT_NE(rel, 0u);
    const size_t firstEntry = elfpatch::u32(programObject(), elfpatch::sectionHeader(programObject(), rel) + 16);
    const std::pair<uint8_t, const char*> cases[] = {
        {20, "R_386_16"}, {9, "R_386_GOTOFF"}, {43, "R_386_GOT32X"}, {200, "relocation type 200"}};
    for (const auto& [type, name] : cases) {
        std::vector<uint8_t> object = programObject();
        object[firstEntry + 4] = type;  // low byte of r_info is the type
        EXPECT_NE(rejection(object).find(name), std::string::npos) << name << ": " << rejection(object);
    }
}

TEST(Elf2ModuleReject, EveryTruncationIsRejected) {
    const std::vector<uint8_t>& whole = programObject();
    ASSERT_EQ(rejection(whole), "");
    for (size_t length = 0; length < whole.size(); ++length) {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_NE(rejection(cut), "") << "accepted a file cut to " << length << " bytes";
    }
}

TEST(Elf2ModuleReject, CorruptHeadersAndTablesAreRejected) {
    using Patch = std::function<void(std::vector<uint8_t>&)>;
    const auto section = [](const std::vector<uint8_t>& f, uint32_t type) {
        return elfpatch::sectionHeader(f, elfpatch::findSection(f, type));
    };
    const std::pair<const char*, Patch> cases[] = {
        {"bad magic", [](auto& f) { f[1] = 'X'; }},
        {"64-bit class", [](auto& f) { f[4] = 2; }},
        {"big endian", [](auto& f) { f[5] = 2; }},
        {"executable type", [](auto& f) { elfpatch::setU16(f, 16, 2); }},
        {"x86-64 machine", [](auto& f) { elfpatch::setU16(f, 18, 62); }},
        {"section table past the end", [](auto& f) { elfpatch::setU32(f, 32, static_cast<uint32_t>(f.size() - 20)); }},
        {"section table offset wraps", [](auto& f) { elfpatch::setU32(f, 32, 0xfffffff0u); }},
        {"section header size", [](auto& f) { elfpatch::setU16(f, 46, 32); }},
        {"section count too large", [](auto& f) { elfpatch::setU16(f, 48, 0xfff0); }},
        {"no sections", [](auto& f) { elfpatch::setU16(f, 48, 0); }},
        {"name table index", [](auto& f) { elfpatch::setU16(f, 50, elfpatch::u16(f, 48)); }},
        {"name table not strings", [&](auto& f) { elfpatch::setU16(f, 50, static_cast<uint16_t>(elfpatch::findSection(f, elf::SHT_SYMTAB))); }},
        {"section name offset", [](auto& f) { elfpatch::setU32(f, elfpatch::sectionHeader(f, 1), 0x7fffffff); }},
        {"section contents past the end", [](auto& f) { elfpatch::setU32(f, elfpatch::sectionHeader(f, 1) + 16, 0xfffffff0u); }},
        {"section size past the end", [](auto& f) { elfpatch::setU32(f, elfpatch::sectionHeader(f, 1) + 20, 0x10000000u); }},
        {"alignment not a power of two", [](auto& f) { elfpatch::setU32(f, elfpatch::sectionHeader(f, 1) + 32, 12); }},
        {"huge .bss", [&](auto& f) { elfpatch::setU32(f, section(f, elf::SHT_NOBITS) + 20, 0xfffffff0u); }},
        {"symbol table size", [&](auto& f) { elfpatch::setU32(f, section(f, elf::SHT_SYMTAB) + 20, 17); }},
        {"symbol strings link", [&](auto& f) { elfpatch::setU32(f, section(f, elf::SHT_SYMTAB) + 24, 0); }},
        {"symbol section index", [&](auto& f) {
             const size_t symbols = elfpatch::u32(f, section(f, elf::SHT_SYMTAB) + 16);
             elfpatch::setU16(f, symbols + 16 * 2 + 14, 0xfe00);
         }},
        {"symbol name offset", [&](auto& f) {
             const size_t symbols = elfpatch::u32(f, section(f, elf::SHT_SYMTAB) + 16);
             elfpatch::setU32(f, symbols + 16 * 2, 0x00ffffff);
         }},
        {"relocation symbol index", [&](auto& f) {
             const size_t entries = elfpatch::u32(f, section(f, elf::SHT_REL) + 16);
             elfpatch::setU32(f, entries + 4, 0xffff0002u);
         }},
        {"relocation site past its section", [&](auto& f) {
             const size_t entries = elfpatch::u32(f, section(f, elf::SHT_REL) + 16);
             elfpatch::setU32(f, entries, 0xfffffffeu);
         }},
        {"relocation target section", [&](auto& f) { elfpatch::setU32(f, section(f, elf::SHT_REL) + 28, 0x7777); }},
        {"explicit addends", [&](auto& f) { elfpatch::setU32(f, section(f, elf::SHT_REL) + 4, elf::SHT_RELA); }},
    };
    for (const auto& [what, patch] : cases) {
        std::vector<uint8_t> object = programObject();
        patch(object);
        EXPECT_NE(rejection(object), "") << what;
    }
}

// Offsets of structural bytes (headers and tables) where damage matters most.
std::vector<size_t> structuralBytes(const std::vector<uint8_t>& object) {
    std::vector<size_t> offsets;
    for (size_t i = 0; i < 52; ++i) {
        offsets.push_back(i);
    }
    const ElfObject parsed = readElfObject(object);
    for (uint32_t i = 0; i < parsed.sections.size(); ++i) {
        const size_t header = elfpatch::sectionHeader(object, i);
        for (size_t b = 0; b < 40; ++b) {
            offsets.push_back(header + b);
        }
        const ElfSection& s = parsed.sections[i];
        if (s.type == elf::SHT_SYMTAB || s.type == elf::SHT_REL) {
            for (size_t b = 0; b < s.size; ++b) {
                offsets.push_back(s.offset + b);
            }
        }
    }
    return offsets;
}

void fuzz(const std::vector<uint8_t>& original, uint32_t seed, int iterations) {
    std::mt19937 random(seed);
    const std::vector<size_t> structural = structuralBytes(original);
    static const uint8_t kInteresting[] = {0x00, 0x01, 0x02, 0x04, 0x7f, 0x80, 0xfe, 0xff};
    int accepted = 0;
    for (int i = 0; i < iterations; ++i) {
        std::vector<uint8_t> object = original;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int f = 0; f < flips; ++f) {
            const size_t at = random() % 2 == 0 ? structural[random() % structural.size()] : random() % object.size();
            object[at] = random() % 2 == 0 ? kInteresting[random() % 8] : static_cast<uint8_t>(object[at] ^ (1u << (random() % 8)));
        }
        try {
            const ModuleImage image = convertObject(object);
            ++accepted;
            // Whatever is accepted must still be a sound image the loader can take.
            ASSERT_EQ(imageFaults(image), "") << "iteration " << i;
            ASSERT_TRUE(parseModuleImage(writeModuleImage(image)).has_value()) << "iteration " << i;
        } catch (const ConvertError& e) {
            ASSERT_NE(std::string(e.what()), "") << "iteration " << i;
        } catch (const std::exception& e) {
            FAIL() << "iteration " << i << " threw a non-conversion error: " << e.what();
        }
    }
    EXPECT_GT(accepted, 0) << "mutations never left a convertible object; the test is not exercising success";
}

TEST(Elf2ModuleFuzz, RandomByteDamageNeverCrashesTheConverter) {
    fuzz(programObject(), 1234, 3000);
    fuzz(readFileBytes(FIXTURE_DIR "/common.o"), 99, 1000);
}

// Runs the tool; returns its exit status and fills `errors` with what it wrote to stderr.
int runTool(const std::string& input, const std::string& output, std::string& errors) {
    const std::string errorFile = output + ".stderr";
    const std::string command = std::string("'") + ELF2MODULE_PATH + "' '" + input + "' '" + output + "' 2> '" + errorFile + "'";
    const int status = std::system(command.c_str());
    const std::vector<uint8_t> text = readFileBytes(errorFile);
    errors.assign(text.begin(), text.end());
    std::remove(errorFile.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST(Elf2ModuleTool, BadInputExitsWithStatusOneAndWritesNoModule) {
    const std::string dir = testing::TempDir();
    const std::string input = dir + "elf2module_truncated.o";
    const std::string output = dir + "elf2module_truncated.ksm";
    std::remove(output.c_str());
    writeBytes(input, std::vector<uint8_t>(programObject().begin(), programObject().begin() + 200));
    std::string errors;
    EXPECT_EQ(runTool(input, output, errors), 1);
    EXPECT_NE(errors.find("elf2module:"), std::string::npos) << errors;
    EXPECT_FALSE(fileExists(output));

    EXPECT_EQ(runTool(FIXTURE_DIR "/no_main.o", output, errors), 1);
    EXPECT_NE(errors.find("__MAIN"), std::string::npos) << errors;
    EXPECT_EQ(runTool(dir + "elf2module_missing.o", output, errors), 1);
    EXPECT_NE(errors.find("cannot open"), std::string::npos) << errors;
    EXPECT_FALSE(fileExists(output));
    std::remove(input.c_str());
}

TEST(Elf2ModuleTool, GoodInputWritesTheConvertedModule) {
    const std::string output = testing::TempDir() + "elf2module_good.ksm";
    std::string errors;
    ASSERT_EQ(runTool(EVERY_RECORD_OBJECT, output, errors), 0) << errors;
    EXPECT_EQ(readFileBytes(output), everyRecordModule());
    EXPECT_FALSE(fileExists(output + ".tmp"));
    std::remove(output.c_str());
}

}  // namespace
