// Facts about the running process: its command line, its executable, and the
// resources appended to the executable file.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// /proc/self/cmdline re-joined with single spaces; the program path is double-quoted
// when it contains a space.
std::string processCommandLine();
std::string joinCommandLine(const std::vector<std::string>& argv);

// Full path of the process's executable; empty when it cannot be read.
std::string executablePath();

// Resources appended to an executable: each is its bytes followed by a trailer
// (type, id, size, magic: four little-endian 32-bit words), the last trailer at the
// very end of the file.
constexpr uint32_t kResourceMagic = 0x5352534B;  // "KSRS"
constexpr uint32_t kResourceRcData = 10;
constexpr uint32_t kModuleResourceId = 1111;

std::optional<std::vector<uint8_t>> readResource(const std::string& file, uint32_t type, uint32_t id);
std::vector<uint8_t> resourceTrailer(uint32_t type, uint32_t id, uint32_t size);
