// Reads a module image file for ksrun and ksbind and checks it with the runtime's own
// module image reader, so that both tools refuse the same files with the same words.
// A Windows game executable stands for the module it holds as resource RCDATA 1111.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ModuleFile {
  enum class Status { Ok, Unreadable, Malformed };
  Status status = Status::Unreadable;
  std::vector<uint8_t> bytes;  // the module image (taken out of a Windows executable)
  std::string error;  // one line, naming the file, when not Ok
};

ModuleFile readModuleFile(const std::string& path);

// Reads a whole regular file; false with a one-line reason (naming the file) otherwise.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

// Writes a whole file (replacing it) and gives it the permission bits `mode`.
bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, unsigned mode);

// The exit status that goes with a failed read (exit_status.h).
int exitStatusOf(const ModuleFile& file);
