// Path resolution over POSIX directories: separator conversion, case-insensitive
// lookup of path components and the wildcard matching of program names.
#include "platform/paths.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <vector>

namespace {

bool exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

char lowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Every name in a directory ("" means the current one), without "." and "..".
std::vector<std::string> entriesOf(const std::string& directory) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
  if (!dir) {
    return names;
  }
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") {
      names.emplace_back(name);
    }
  }
  ::closedir(dir);
  return names;
}

// The entry of a directory equal to name without regard to case; the smallest in byte
// order when several spellings exist, so the choice does not depend on listing order.
std::string caseMatch(const std::string& directory, const std::string& name) {
  std::string best;
  for (const std::string& candidate : entriesOf(directory)) {
    if (::strcasecmp(candidate.c_str(), name.c_str()) == 0 &&
        (best.empty() || candidate < best)) {
      best = candidate;
    }
  }
  return best;
}

std::string withSlashes(std::string_view programPath) {
  std::string path(programPath);
  for (char& c : path) {
    if (c == '\\') {
      c = '/';
    }
  }
  return path;
}

}  // namespace

std::string resolvePath(std::string_view programPath) {
  const std::string path = withSlashes(programPath);
  if (path.empty() || exists(path)) {
    return path;
  }
  // prefix is the resolved text so far; it ends in '/' except while it is "" (the
  // current directory).
  std::string prefix = path[0] == '/' ? "/" : "";
  size_t start = prefix.size();
  bool searching = true;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) {
      end = path.size();
    }
    std::string component = path.substr(start, end - start);
    if (searching && !component.empty() && component != "." && component != ".." &&
        !exists(prefix + component)) {
      const std::string found = caseMatch(prefix, component);
      if (found.empty()) {
        searching = false;  // nothing below a missing component can exist
      } else {
        component = found;
      }
    }
    prefix += component;
    if (end < path.size()) {
      prefix += '/';
    }
    start = end + 1;
  }
  return prefix;
}

std::string directoryText(std::string path) {
  if (path.empty() || path.back() != '/') {
    path += '/';
  }
  return path;
}

bool hasWildcards(std::string_view name) {
  return name.find_first_of("*?") != std::string_view::npos;
}

bool wildcardMatch(std::string_view pattern, std::string_view name) {
  // Greedy matching with one backtrack point: the last '*' seen.
  size_t p = 0;
  size_t n = 0;
  size_t starAt = std::string_view::npos;
  size_t starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starAt = p++;
      starName = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || lowerAscii(pattern[p]) == lowerAscii(name[n]))) {
      ++p;
      ++n;
    } else if (starAt != std::string_view::npos) {
      p = starAt + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') {
    ++p;
  }
  return p == pattern.size();
}

std::string firstWildcardMatch(std::string_view programPattern) {
  const std::string path = withSlashes(programPattern);
  const size_t slash = path.rfind('/');
  const std::string pattern = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string directory;
  if (slash != std::string::npos) {
    directory = resolvePath(path.substr(0, slash + 1));
  }
  if (pattern.empty()) {
    return "";
  }
  std::string best;
  for (const std::string& name : entriesOf(directory)) {
    if (name[0] == '.' && pattern[0] != '.') {
      continue;
    }
    if (wildcardMatch(pattern, name) && (best.empty() || name < best)) {
      best = name;
    }
  }
  return best.empty() ? "" : directory + best;
}
