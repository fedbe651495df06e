// Module reading, linking into executable memory, and ELF byte patching for the converter tests.
#include "tests/tools/module_test_support.h"

#include <sys/mman.h>

#include <cstring>
#include <fstream>
#include <iterator>

std::vector<uint8_t> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The layout: the entry jump (5 bytes), .text at 5 (11 bytes), .data aligned to 4 at 16
// (8 bytes), the empty .bss at 24. The jump lands on __MAIN at 5: displacement 5 - 5 = 0.
// The call to _fend keeps its addend -4 under a relative fixup at 6; the mov's operand
// at 11 holds counter's place in .data (4) under an absolute fixup against .data's start.
const std::vector<uint8_t>& everyRecordModule() {
    static const std::vector<uint8_t> bytes = {
        24, 0, 0, 0,                           // code size
        0xe9, 0, 0, 0, 0,                      // jmp __MAIN
        0xe8, 0xfc, 0xff, 0xff, 0xff,          // call _fend
        0xb8, 4, 0, 0, 0,                      // mov $counter, %eax
        0xc3,                                  // ret
        3, 0, 0, 0, 7, 0, 0, 0,                // lives, counter
        3, 0, 0, 0,                            // symbols: __MAIN 5, lives 16, __section.data 16
        '_', '_', 'M', 'A', 'I', 'N', 0, 5, 0, 0, 0,
        'l', 'i', 'v', 'e', 's', 0, 16, 0, 0, 0,
        '_', '_', 's', 'e', 'c', 't', 'i', 'o', 'n', '.', 'd', 'a', 't', 'a', 0, 16, 0, 0, 0,
        1, 0, 0, 0,                            // relative fixups: _fend 6
        '_', 'f', 'e', 'n', 'd', 0, 6, 0, 0, 0,
        1, 0, 0, 0,                            // absolute fixups: __section.data 11
        '_', '_', 's', 'e', 'c', 't', 'i', 'o', 'n', '.', 'd', 'a', 't', 'a', 0, 11, 0, 0, 0,
    };
    return bytes;
}

namespace {

struct Cursor {
    const std::vector<uint8_t>& bytes;
    size_t at = 0;

    bool word(int32_t& value) {
        if (bytes.size() - at < 4) {
            return false;
        }
        value = static_cast<int32_t>(wordAt(bytes, at));
        at += 4;
        return true;
    }
    bool table(std::vector<ModuleRecord>& records) {
        int32_t count = 0;
        if (!word(count)) {
            return false;
        }
        for (int32_t i = 0; i < count; ++i) {
            const void* zero = std::memchr(bytes.data() + at, 0, bytes.size() - at);
            if (zero == nullptr) {
                return false;
            }
            ModuleRecord record;
            record.name.assign(reinterpret_cast<const char*>(bytes.data() + at), static_cast<const char*>(zero));
            at += record.name.size() + 1;
            if (!word(record.offset)) {
                return false;
            }
            records.push_back(record);
        }
        return true;
    }
};

}  // namespace

std::optional<ModuleImage> parseModuleImage(const std::vector<uint8_t>& bytes) {
    Cursor in{bytes};
    ModuleImage image;
    int32_t codeSize = 0;
    if (!in.word(codeSize) || codeSize < 0 || bytes.size() - in.at < static_cast<size_t>(codeSize)) {
        return std::nullopt;
    }
    image.code.assign(bytes.begin() + 4, bytes.begin() + 4 + codeSize);
    in.at += static_cast<size_t>(codeSize);
    if (!in.table(image.symbols) || !in.table(image.relativeFixups) || !in.table(image.absoluteFixups) ||
        in.at != bytes.size()) {
        return std::nullopt;
    }
    return image;
}

const ModuleRecord* findRecord(const std::vector<ModuleRecord>& records, const std::string& name) {
    for (const ModuleRecord& record : records) {
        if (record.name == name) {
            return &record;
        }
    }
    return nullptr;
}

std::vector<int32_t> sitesNamed(const std::vector<ModuleRecord>& records, const std::string& name) {
    std::vector<int32_t> sites;
    for (const ModuleRecord& record : records) {
        if (record.name == name) {
            sites.push_back(record.offset);
        }
    }
    return sites;
}

uint32_t wordAt(const std::vector<uint8_t>& code, size_t at) {
    return static_cast<uint32_t>(code[at]) | static_cast<uint32_t>(code[at + 1]) << 8 |
           static_cast<uint32_t>(code[at + 2]) << 16 | static_cast<uint32_t>(code[at + 3]) << 24;
}

std::string imageFaults(const ModuleImage& image) {
    const int64_t size = static_cast<int64_t>(image.code.size());
    if (size < 5 || image.code[0] != 0xe9) {
        return "code does not start with a jump";
    }
    const int64_t entry = 5 + static_cast<int32_t>(wordAt(image.code, 1));
    if (entry < 0 || entry >= size) {
        return "entry jump leaves the code";
    }
    for (const ModuleRecord& symbol : image.symbols) {
        if (symbol.offset < 0 || symbol.offset >= size) {
            return "symbol " + symbol.name + " outside the code";
        }
    }
    for (const auto* table : {&image.relativeFixups, &image.absoluteFixups}) {
        for (const ModuleRecord& fixup : *table) {
            if (fixup.offset < 0 || fixup.offset + int64_t{4} > size) {
                return "fixup " + fixup.name + " outside the code";
            }
        }
    }
    return "";
}

LoadedModule::LoadedModule(const ModuleImage& image, const std::map<std::string, uintptr_t>& runtime) {
    error_ = imageFaults(image);
    if (!error_.empty()) {
        return;
    }
    size_ = image.code.size();
    void* block = mmap(nullptr, size_, PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) {
        error_ = "no executable memory";
        return;
    }
    base_ = static_cast<uint8_t*>(block);
    std::memcpy(base_, image.code.data(), size_);
    for (const ModuleRecord& symbol : image.symbols) {
        symbols_[symbol.name] = reinterpret_cast<uintptr_t>(base_) + static_cast<uint32_t>(symbol.offset);
    }
    auto resolve = [&](const std::string& name) -> std::optional<uintptr_t> {
        if (auto it = symbols_.find(name); it != symbols_.end()) {
            return it->second;
        }
        if (auto it = runtime.find(name); it != runtime.end()) {
            return it->second;
        }
        error_ = "Can't find symbol: " + name;
        return std::nullopt;
    };
    auto patch = [&](const ModuleRecord& fixup, bool relative) {
        const std::optional<uintptr_t> target = resolve(fixup.name);
        if (!target) {
            return;
        }
        uint8_t* site = base_ + fixup.offset;
        uint32_t word = 0;
        std::memcpy(&word, site, 4);
        word += static_cast<uint32_t>(*target - (relative ? reinterpret_cast<uintptr_t>(site) : 0));
        std::memcpy(site, &word, 4);
    };
    for (const ModuleRecord& fixup : image.relativeFixups) {
        patch(fixup, true);
    }
    for (const ModuleRecord& fixup : image.absoluteFixups) {
        patch(fixup, false);
    }
}

LoadedModule::~LoadedModule() {
    if (base_ != nullptr) {
        munmap(base_, size_);
    }
}

uintptr_t LoadedModule::address(const std::string& symbol) const {
    const auto it = symbols_.find(symbol);
    return it == symbols_.end() ? 0 : it->second;
}

namespace elfpatch {

uint32_t u32(const std::vector<uint8_t>& file, size_t at) { return wordAt(file, at); }

uint16_t u16(const std::vector<uint8_t>& file, size_t at) {
    return static_cast<uint16_t>(file[at] | file[at + 1] << 8);
}

void setU32(std::vector<uint8_t>& file, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        file[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

void setU16(std::vector<uint8_t>& file, size_t at, uint16_t value) {
    file[at] = static_cast<uint8_t>(value);
    file[at + 1] = static_cast<uint8_t>(value >> 8);
}

size_t sectionHeader(const std::vector<uint8_t>& file, uint32_t index) { return u32(file, 32) + size_t{index} * 40; }

uint32_t findSection(const std::vector<uint8_t>& file, uint32_t type) {
    const uint16_t count = u16(file, 48);
    for (uint32_t i = 1; i < count; ++i) {
        if (u32(file, sectionHeader(file, i) + 4) == type) {
            return i;
        }
    }
    return 0;
}

}  // namespace elfpatch
