#include "runtime/signature_check.h"

#include <cctype>

namespace {

bool isSigil(char c) {
  return c == '%' || c == '#' || c == '$';
}

bool isAlnum(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

bool isAlpha(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

// default = optionally negative decimal integer, or "" for the empty string.
bool readDefault(const char*& p) {
  if (p[0] == '"') {
    if (p[1] != '"') {
      return false;
    }
    p += 2;
    return true;
  }
  if (*p == '-') {
    ++p;
  }
  if (!std::isdigit(static_cast<unsigned char>(*p))) {
    return false;
  }
  while (std::isdigit(static_cast<unsigned char>(*p))) {
    ++p;
  }
  return true;
}

}  // namespace

std::string signatureProblem(const char* signature) {
  const char* p = signature;
  if (!p || !*p) {
    return "empty signature";
  }
  if (*p == '_') {
    for (++p; *p; ++p) {
      if (!isAlnum(*p)) {
        return "internal name with a character other than a letter or digit";
      }
    }
    return p - signature > 1 ? "" : "internal name without a name";
  }
  if (isSigil(*p)) {
    ++p;
  }
  if (!isAlpha(*p)) {
    return "command name does not start with a letter";
  }
  while (isAlnum(*p)) {
    ++p;
  }
  bool defaults = false;
  while (*p) {
    if (!isSigil(*p)) {
      return std::string("unexpected character '") + *p + "'";
    }
    const bool text = *p == '$';
    ++p;
    if (!isAlnum(*p) && *p != '_') {
      return "parameter without a name";
    }
    while (isAlnum(*p) || *p == '_') {
      ++p;
    }
    if (*p == '=') {
      ++p;
      const bool emptyText = *p == '"';
      if (!readDefault(p) || (emptyText && !text)) {
        return "bad default";
      }
      defaults = true;
    } else if (defaults) {
      return "parameter without a default after one with a default";
    }
  }
  return "";
}
