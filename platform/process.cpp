#include "platform/process.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>

std::string joinCommandLine(const std::vector<std::string>& argv) {
  std::string line;
  for (size_t i = 0; i < argv.size(); ++i) {
    if (i > 0) {
      line += ' ';
    }
    if (i == 0 && argv[0].find(' ') != std::string::npos) {
      line += '"' + argv[0] + '"';
    } else {
      line += argv[i];
    }
  }
  return line;
}

std::string processCommandLine() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> argv;
  std::string current;
  for (char c : raw) {
    if (c == '\0') {
      argv.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) {
    argv.push_back(current);
  }
  return joinCommandLine(argv);
}

std::string executablePath() {
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) {
    return "";
  }
  return std::string(buffer, size_t(n));
}

namespace {

uint32_t word(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

std::vector<uint8_t> resourceTrailer(uint32_t type, uint32_t id, uint32_t size) {
  std::vector<uint8_t> out;
  for (uint32_t v : {type, id, size, kResourceMagic}) {
    for (int i = 0; i < 4; ++i) {
      out.push_back(uint8_t(v >> (8 * i)));
    }
  }
  return out;
}

std::optional<std::vector<uint8_t>> readResource(const std::string& file, uint32_t type, uint32_t id) {
  FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) {
    return std::nullopt;
  }
  std::optional<std::vector<uint8_t>> found;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    long end = std::ftell(f);
    // Walk the trailers backwards from the end of the file.
    while (end >= 16) {
      uint8_t trailer[16];
      if (std::fseek(f, end - 16, SEEK_SET) != 0 || std::fread(trailer, 1, 16, f) != 16 ||
          word(trailer + 12) != kResourceMagic) {
        break;
      }
      const uint32_t size = word(trailer + 8);
      const long start = end - 16 - long(size);
      if (size > uint32_t(end - 16) || start < 0) {
        break;
      }
      if (word(trailer) == type && word(trailer + 4) == id) {
        std::vector<uint8_t> bytes(size);
        if (std::fseek(f, start, SEEK_SET) == 0 && std::fread(bytes.data(), 1, size, f) == size) {
          found = std::move(bytes);
        }
        break;
      }
      end = start;
    }
  }
  std::fclose(f);
  return found;
}
