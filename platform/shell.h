// Shell execution: opens a document with xdg-open, or starts an executable
// directly, as a detached child. True when the child was started.
#pragma once
#include <string>
#include <vector>

bool shellOpen(const std::string& file, const std::string& parameters);

// Parameter text as arguments: split at spaces, double quotes group.
std::vector<std::string> splitParameters(const std::string& text);
