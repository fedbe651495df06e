// Test helpers for the converter: a reader of the module image format, a small linker that
// loads a module into executable memory, and byte patching of ELF fixture objects.
#pragma once

#include "tools/elf2module/module_image.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

using elf2module::ModuleImage;
using elf2module::ModuleRecord;

std::vector<uint8_t> readFileBytes(const std::string& path);

// The module image of fixtures/every_record.S, worked out by hand.
const std::vector<uint8_t>& everyRecordModule();

// Parses the module format; nothing when the bytes are not exactly one well-formed image.
std::optional<ModuleImage> parseModuleImage(const std::vector<uint8_t>& bytes);

const ModuleRecord* findRecord(const std::vector<ModuleRecord>& records, const std::string& name);
std::vector<int32_t> sitesNamed(const std::vector<ModuleRecord>& records, const std::string& name);
uint32_t wordAt(const std::vector<uint8_t>& code, size_t at);

// Empty when every symbol lies inside the code and every fixup site holds a whole word of it.
std::string imageFaults(const ModuleImage& image);

// A module copied into executable memory and linked: module symbols first, then `runtime`.
class LoadedModule {
public:
    LoadedModule(const ModuleImage& image, const std::map<std::string, uintptr_t>& runtime);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool ok() const { return base_ != nullptr && error_.empty(); }
    const std::string& error() const { return error_; }
    uint8_t* base() const { return base_; }
    uintptr_t address(const std::string& symbol) const;

private:
    uint8_t* base_ = nullptr;
    size_t size_ = 0;
    std::map<std::string, uintptr_t> symbols_;
    std::string error_;
};

// ELF32 little-endian field access for patching fixtures.
namespace elfpatch {
uint32_t u32(const std::vector<uint8_t>& file, size_t at);
uint16_t u16(const std::vector<uint8_t>& file, size_t at);
void setU32(std::vector<uint8_t>& file, size_t at, uint32_t value);
void setU16(std::vector<uint8_t>& file, size_t at, uint16_t value);
size_t sectionHeader(const std::vector<uint8_t>& file, uint32_t index);  // file offset of header `index`
uint32_t findSection(const std::vector<uint8_t>& file, uint32_t type);   // first section of `type`, 0 if none
}  // namespace elfpatch
