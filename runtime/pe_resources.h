// Finds a resource in a 32-bit Windows executable (PE32) held in memory: the file
// headers, the section table and the resource directory tree, every offset and size
// checked against the bytes given. Reads only; hostile files get a one-line reason.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Whether the bytes start like a Windows executable: "MZ", and "PE\0\0" where the DOS
// header says the PE header is.
bool hasPeSignature(const uint8_t* data, size_t size);

struct PeResource {
  enum class Status { Found, Missing, Malformed };
  Status status = Status::Malformed;
  size_t offset = 0;  // Found: where the resource's bytes start in the file
  size_t size = 0;    // Found: how many bytes it has, all inside the file
  std::string problem;  // Malformed: what is wrong with the file, one line
};

// Looks up the resource of integer type and id, in the first language listed under it.
// Missing when the file is a well-formed executable without it (no resource directory, or no
// such type or id).
PeResource findPeResource(const uint8_t* data, size_t size, uint32_t type, uint32_t id);
