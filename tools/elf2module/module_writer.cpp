// Module image serialisation: 32-bit little-endian integers, no padding anywhere.
#include "tools/elf2module/module_writer.h"

#include "tools/elf2module/convert_error.h"

#include <cstring>
#include <limits>

namespace elf2module {

namespace {

void putWord(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void putCount(std::vector<uint8_t>& out, size_t count) {
    if (count > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        throw ConvertError("module table is too large");
    }
    putWord(out, static_cast<uint32_t>(count));
}

void putTable(std::vector<uint8_t>& out, const std::vector<ModuleRecord>& records) {
    putCount(out, records.size());
    for (const ModuleRecord& record : records) {
        // A name with a zero byte inside would end early and shift every later record.
        if (record.name.empty() || std::memchr(record.name.data(), 0, record.name.size()) != nullptr) {
            throw ConvertError("module record name is empty or contains a zero byte");
        }
        out.insert(out.end(), record.name.begin(), record.name.end());
        out.push_back(0);
        putWord(out, static_cast<uint32_t>(record.offset));
    }
}

}  // namespace

std::vector<uint8_t> writeModuleImage(const ModuleImage& image) {
    std::vector<uint8_t> out;
    putCount(out, image.code.size());
    out.insert(out.end(), image.code.begin(), image.code.end());
    putTable(out, image.symbols);
    putTable(out, image.relativeFixups);
    putTable(out, image.absoluteFixups);
    return out;
}

}  // namespace elf2module
