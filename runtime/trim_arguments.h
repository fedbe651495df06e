// Argument text handling: trimming for execute, and the stand-alone split of the
// process command line into program path and arguments.
#pragma once
#include <string>

// Leading, then trailing spaces removed (only the space character counts).
std::string trimArguments(const std::string& text);

// Everything after the (possibly double-quoted) program path; not trimmed.
std::string commandLineArguments(const std::string& commandLine);
