// Turns the paths programs give (backslash separators, names in any letter case) into
// paths of this file system, and formats directory results. Every module that opens a
// file or directory by name resolves it here first.
#pragma once
#include <string>
#include <string_view>

// Backslashes become '/'. When the exact path does not exist, each component is looked
// up case-insensitively in its directory; a component that matches nothing is kept as
// given with everything after it, so the name of a file about to be created keeps its
// spelling while its directories resolve.
std::string resolvePath(std::string_view programPath);

// A directory as the program sees it: the text ending in exactly one '/'.
std::string directoryText(std::string path);

// Whether a name holds the wildcard characters '*' or '?'.
bool hasWildcards(std::string_view name);

// Wildcard match as program names mean it: '*' any run of characters, '?' exactly one,
// letters compared without case. No other character is special.
bool wildcardMatch(std::string_view pattern, std::string_view name);

// The first entry, in byte order, of the pattern's directory whose name matches the
// pattern's last component (names starting with '.' only match a pattern that does),
// as a resolved path; "" when nothing matches.
std::string firstWildcardMatch(std::string_view programPattern);
