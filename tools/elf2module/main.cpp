// elf2module input.o output.ksm: converts an i386 relocatable object into a module image.
// Exit status 0 on success, 1 when the object cannot be read or converted or the module
// cannot be written, 2 for a usage error; the output is written only after a full success.
#include "tools/elf2module/converter.h"
#include "tools/elf2module/module_writer.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace elf2module;

constexpr std::streamoff kMaxInputSize = 256 * 1024 * 1024;

bool readFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || size > kMaxInputSize) {
        error = path + " is not a readable object file of reasonable size";
        return false;
    }
    in.seekg(0, std::ios::beg);
    bytes.resize(static_cast<size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

// Writes beside the target and renames, so that a failed write never leaves half a module.
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out || !out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())) ||
            !out.flush()) {
            error = "cannot write " + temporary;
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot rename " + temporary + " to " + path;
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

const char kUsage[] =
    "usage: elf2module input.o output.ksm\n"
    "\n"
    "Converts an i386 ELF relocatable object into a Kestrel module image. Compile the\n"
    "object with: gcc -m32 -c -fno-pic -fno-pie -O1 -fno-stack-protector\n"
    "  -fno-asynchronous-unwind-tables -ffreestanding -fno-builtin\n"
    "\n"
    "Exit status: 0 converted, 1 the object cannot be read or converted (or the module\n"
    "cannot be written), 2 usage error.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "elf2module: needs an object file and the module to write\nTry 'elf2module --help'.\n");
        return 2;
    }
    const std::string input = argv[1];
    const std::string output = argv[2];
    try {
        std::vector<uint8_t> object;
        std::string error;
        if (!readFile(input, object, error)) {
            std::fprintf(stderr, "elf2module: %s\n", error.c_str());
            return 1;
        }
        const std::vector<uint8_t> module = writeModuleImage(convertObject(std::move(object)));
        if (!writeFile(output, module, error)) {
            std::fprintf(stderr, "elf2module: %s\n", error.c_str());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "elf2module: %s: %s\n", input.c_str(), e.what());
        return 1;
    }
    return 0;
}
