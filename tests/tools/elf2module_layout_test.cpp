// The converter on real gcc objects: the entry jump, resolved and unresolved calls, data
// pointers, string literals, .bss and COMMON, and the converted program run after linking.
#include "tests/tools/module_test_support.h"
#include "tools/elf2module/converter.h"
#include "tools/elf2module/elf_reader.h"
#include "tools/elf2module/module_writer.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace elf2module;

ModuleImage convertFixture(const std::string& path) {
    const std::vector<uint8_t> object = readFileBytes(path);
    EXPECT_FALSE(object.empty()) << path;
    return convertObject(object);
}

const ModuleImage& program() {
    static const ModuleImage image = convertFixture(PROGRAM_OBJECT);
    return image;
}

int32_t symbolOffset(const ModuleImage& image, const std::string& name) {
    const ModuleRecord* symbol = findRecord(image.symbols, name);
    EXPECT_NE(symbol, nullptr) << "no module symbol " << name;
    return symbol == nullptr ? -1 : symbol->offset;
}

// The code offset an absolute fixup at `site` points to once linked: its area start plus the addend.
int64_t absoluteTarget(const ModuleImage& image, int32_t site, std::string* areaName = nullptr) {
    for (const ModuleRecord& fixup : image.absoluteFixups) {
        if (fixup.offset == site) {
            if (areaName != nullptr) {
                *areaName = fixup.name;
            }
            return symbolOffset(image, fixup.name) + static_cast<int32_t>(wordAt(image.code, site));
        }
    }
    ADD_FAILURE() << "no absolute fixup at " << site;
    return -1;
}

// Call instructions from `from` whose resolved displacement lands on `target`.
int directCallsTo(const ModuleImage& image, int32_t from, int32_t target) {
    int calls = 0;
    for (size_t at = static_cast<size_t>(from); at + 5 <= image.code.size(); ++at) {
        if (image.code[at] == 0xe8 &&
            static_cast<int64_t>(at) + 5 + static_cast<int32_t>(wordAt(image.code, at + 1)) == target) {
            ++calls;
        }
    }
    return calls;
}

TEST(Elf2ModuleLayout, EntryJumpLandsOnMainAndImageIsWellFormed) {
    const ModuleImage& image = program();
    EXPECT_EQ(imageFaults(image), "");
    ASSERT_EQ(image.code[0], 0xe9);
    EXPECT_EQ(5 + static_cast<int32_t>(wordAt(image.code, 1)), symbolOffset(image, "__MAIN"));
    for (const char* name : {"twice", "pick", "readThroughPointers", "counter", "zeros", "table", "tablePtr",
                             "greeting", "intType"}) {
        EXPECT_NE(findRecord(image.symbols, name), nullptr) << name;
    }
    EXPECT_EQ(findRecord(image.symbols, "scale"), nullptr) << "local functions are not exported";
    const int32_t data = symbolOffset(image, "__DATA");
    ASSERT_GE(data, 5);
    EXPECT_EQ(wordAt(image.code, data), 7u);
    EXPECT_EQ(wordAt(image.code, data + 8), 9u);
}

TEST(Elf2ModuleLayout, RuntimeCallsBecomeRelativeFixupsHoldingMinusFour) {
    const ModuleImage& image = program();
    const std::vector<int32_t> logs = sitesNamed(image.relativeFixups, "_fdebuglog");
    const std::vector<int32_t> consts = sitesNamed(image.relativeFixups, "__ksStrConst");
    EXPECT_EQ(logs.size(), 2u);
    EXPECT_EQ(consts.size(), 2u);
    for (const ModuleRecord& fixup : image.relativeFixups) {
        EXPECT_EQ(wordAt(image.code, fixup.offset), 0xfffffffcu) << fixup.name;
        EXPECT_EQ(image.code[fixup.offset - 1], 0xe8) << fixup.name << " site is not a call displacement";
    }
    EXPECT_TRUE(sitesNamed(image.relativeFixups, "twice").empty());
    EXPECT_TRUE(sitesNamed(image.relativeFixups, "pick").empty());
}

TEST(Elf2ModuleLayout, CallsBetweenFunctionsOfTheObjectAreResolvedDirectly) {
    const ModuleImage& image = program();
    const int32_t main = symbolOffset(image, "__MAIN");
    EXPECT_EQ(directCallsTo(image, main, symbolOffset(image, "twice")), 1);
    EXPECT_EQ(directCallsTo(image, main, symbolOffset(image, "pick")), 1);
}

TEST(Elf2ModuleLayout, PointersToDataAndStringsBecomeFixupsAgainstTheirSectionStart) {
    const ModuleImage& image = program();
    std::string area;
    EXPECT_EQ(absoluteTarget(image, symbolOffset(image, "tablePtr"), &area), symbolOffset(image, "table") + 8);
    EXPECT_EQ(area, "__section.data");

    const int64_t text = absoluteTarget(image, symbolOffset(image, "greeting"), &area);
    EXPECT_EQ(area.rfind("__section.rodata", 0), 0u) << area;
    ASSERT_GE(text, 0);
    ASSERT_LE(text + 6, static_cast<int64_t>(image.code.size()));
    EXPECT_EQ(std::memcmp(image.code.data() + text, "hello", 6), 0);
}

TEST(Elf2ModuleLayout, RuntimeDataSymbolAddressBecomesAbsoluteFixupByName) {
    const ModuleImage& image = program();
    EXPECT_EQ(sitesNamed(image.absoluteFixups, "__ksIntType"),
              std::vector<int32_t>{symbolOffset(image, "intType")});
    EXPECT_EQ(wordAt(image.code, symbolOffset(image, "intType")), 0u);
}

TEST(Elf2ModuleLayout, BssIsZeroFilledInsideTheBlock) {
    const ModuleImage& image = program();
    const int32_t zeros = symbolOffset(image, "zeros");
    ASSERT_GE(zeros, 5);
    ASSERT_LE(static_cast<size_t>(zeros) + 64, image.code.size());
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(image.code[zeros + i], 0) << i;
    }
    EXPECT_EQ(zeros % 4, 0) << "arrays of 64 bytes are aligned";
    EXPECT_EQ(wordAt(image.code, symbolOffset(image, "counter")), 0u);
}

TEST(Elf2ModuleLayout, CommonSymbolsAreAllocatedAlignedAndDisjoint) {
    const ModuleImage image = convertFixture(FIXTURE_DIR "/common.o");
    EXPECT_EQ(imageFaults(image), "");
    const int32_t shared = symbolOffset(image, "shared");
    const int32_t wide = symbolOffset(image, "wide");
    const int32_t buffer = symbolOffset(image, "buffer");
    EXPECT_EQ(shared % 4, 0);
    EXPECT_EQ(wide % 8, 0);
    struct Range {
        int32_t start, size;
    };
    const Range ranges[] = {{shared, 4}, {wide, 8}, {buffer, 100}};
    for (const Range& a : ranges) {
        ASSERT_LE(static_cast<size_t>(a.start + a.size), image.code.size());
        for (int32_t i = 0; i < a.size; ++i) {
            EXPECT_EQ(image.code[a.start + i], 0);
        }
        for (const Range& b : ranges) {
            if (&a != &b) {
                EXPECT_TRUE(a.start + a.size <= b.start || b.start + b.size <= a.start);
            }
        }
    }
}

// A stand-in runtime for running converted programs in this process.
std::vector<std::string> logged;
int fakeIntType = 1;

extern "C" void* fakeStrConst(const char* text) { return const_cast<char*>(text); }
extern "C" void fakeDebugLog(const char* text) { logged.emplace_back(text); }

std::map<std::string, uintptr_t> fakeRuntime() {
    return {{"__ksStrConst", reinterpret_cast<uintptr_t>(&fakeStrConst)},
            {"_fdebuglog", reinterpret_cast<uintptr_t>(&fakeDebugLog)},
            {"__ksIntType", reinterpret_cast<uintptr_t>(&fakeIntType)}};
}

TEST(Elf2ModuleRun, ConvertedProgramRunsFromOffsetZeroAfterLinking) {
    const LoadedModule module(program(), fakeRuntime());
    ASSERT_TRUE(module.ok()) << module.error();
    logged.clear();
    reinterpret_cast<void (*)()>(module.base())();
    EXPECT_EQ(logged, (std::vector<std::string>{"started", "picked"}));
    EXPECT_EQ(*reinterpret_cast<int*>(module.address("counter")), 6);

    const auto readThroughPointers = reinterpret_cast<int (*)()>(module.address("readThroughPointers"));
    EXPECT_EQ(readThroughPointers(), 30 + 1 + 'e');

    const auto pick = reinterpret_cast<int (*)(int)>(module.address("pick"));
    const int expected[] = {4, 9, 11, 17, 23, 31, -1};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(pick(i), expected[i]) << "jump table entry " << i;
    }
}

TEST(Elf2ModuleRun, CommonSymbolsAreReachedThroughTheirAreaStart) {
    const LoadedModule module(convertFixture(FIXTURE_DIR "/common.o"), {});
    ASSERT_TRUE(module.ok()) << module.error();
    reinterpret_cast<void (*)()>(module.base())();
    EXPECT_EQ(*reinterpret_cast<int*>(module.address("shared")), 5);
    EXPECT_EQ(reinterpret_cast<char*>(module.address("buffer"))[99], 1);
    const auto sharedAddress = reinterpret_cast<int* (*)()>(module.address("sharedAddress"));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(sharedAddress()), module.address("shared"));
}

TEST(Elf2ModuleRun, LabelAtTheEndOfTheBlockStaysInsideTheCode) {
    const ModuleImage image = convertFixture(FIXTURE_DIR "/tail.o");
    EXPECT_EQ(imageFaults(image), "");
    EXPECT_EQ(static_cast<size_t>(symbolOffset(image, "tailMark")), image.code.size() - 1);
    const LoadedModule module(image, {});
    ASSERT_TRUE(module.ok()) << module.error();
    const auto tailAddress = reinterpret_cast<uintptr_t (*)()>(module.address("tailAddress"));
    EXPECT_EQ(tailAddress(), module.address("tailMark"));
}

TEST(Elf2ModuleRun, SectionsSharingANameGetDistinctStartSymbols) {
    // Give .rodata (jump table, strings' neighbour) the name of .data.
    std::vector<uint8_t> object = readFileBytes(PROGRAM_OBJECT);
    uint32_t data = 0;
    uint32_t rodata = 0;
    const ElfObject parsed = readElfObject(object);
    for (uint32_t i = 0; i < parsed.sections.size(); ++i) {
        data = parsed.sections[i].name == ".data" ? i : data;
        rodata = parsed.sections[i].name == ".rodata" ? i : rodata;
    }
    ASSERT_NE(data, 0u);
    ASSERT_NE(rodata, 0u);
    elfpatch::setU32(object, elfpatch::sectionHeader(object, rodata), elfpatch::u32(object, elfpatch::sectionHeader(object, data)));
    const ModuleImage image = convertObject(object);
    const ModuleRecord* first = findRecord(image.symbols, "__section.data");
    const ModuleRecord* second = findRecord(image.symbols, "__section.data#" + std::to_string(rodata));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first->offset, second->offset);

    const LoadedModule module(image, fakeRuntime());
    ASSERT_TRUE(module.ok()) << module.error();
    const auto pick = reinterpret_cast<int (*)(int)>(module.address("pick"));
    EXPECT_EQ(pick(3), 17);
    EXPECT_EQ(reinterpret_cast<int (*)()>(module.address("readThroughPointers"))(), 30 + 1 + 'e');
}

TEST(Elf2ModuleWriter, WritesTheModuleFormatByteForByte) {
    ModuleImage image;
    image.code = {0xe9, 0, 0, 0, 0, 0xc3};
    image.symbols = {{"__MAIN", 5}};
    image.relativeFixups = {{"_fend", 1}};
    image.absoluteFixups = {{"ab", -2}};
    const std::vector<uint8_t> expected = {
        6, 0, 0, 0, 0xe9, 0, 0, 0, 0, 0xc3,                          // code size, code
        1, 0, 0, 0, '_', '_', 'M', 'A', 'I', 'N', 0, 5, 0, 0, 0,     // symbols
        1, 0, 0, 0, '_', 'f', 'e', 'n', 'd', 0, 1, 0, 0, 0,          // relative fixups
        1, 0, 0, 0, 'a', 'b', 0, 0xfe, 0xff, 0xff, 0xff,             // absolute fixups
    };
    EXPECT_EQ(writeModuleImage(image), expected);
}

TEST(Elf2ModuleWriter, AssemblyFixtureBecomesTheHandWorkedModule) {
    EXPECT_EQ(writeModuleImage(convertFixture(EVERY_RECORD_OBJECT)), everyRecordModule());
    const std::vector<uint8_t> built = readFileBytes(EVERY_RECORD_MODULE);  // by the program build
    EXPECT_EQ(built, everyRecordModule());
    const std::optional<ModuleImage> parsed = parseModuleImage(built);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->code.size(), 24u);
    EXPECT_EQ(sitesNamed(parsed->absoluteFixups, "__section.data"), std::vector<int32_t>{11});
}

}  // namespace
