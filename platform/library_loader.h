// External libraries for CallDLL: loading by name and finding exported functions.
#pragma once
#include <string>

// Backslashes and letter case are resolved as for every path; a name without '/' is tried next to the program, then in the current directory,
// then by the loader's own search. Null when it cannot be loaded.
void* loadLibrary(const std::string& programName);
void* libraryFunction(void* library, const std::string& name);
void freeLibrary(void* library);
