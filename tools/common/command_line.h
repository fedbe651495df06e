// The answer every tool gives to its parsed arguments before doing anything else:
// the usage for --help, or a one-line usage error.
#pragma once
#include <string>

// Prints the usage on standard output (status 0) when help was asked, or the problem on
// standard error (status 2) when there is one; -1 when the tool goes on.
int answerHelpOrUsageError(const char* tool, const char* usage, bool help, const std::string& problem);
