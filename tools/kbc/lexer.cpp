#include "tools/kbc/lexer.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <unordered_set>

namespace {

const std::unordered_set<std::string> kKeywords = {
    "and", "or", "xor", "not", "mod", "shl", "shr", "sar", "if", "then", "else", "elseif", "endif", "end",
    "select", "case", "default", "for", "to", "step", "next", "each", "while", "wend", "repeat", "until",
    "forever", "exit", "function", "return", "gosub", "goto", "const", "global", "local", "dim", "type",
    "field", "new", "delete", "first", "last", "after", "before", "insert", "null", "object", "data", "read",
    "restore", "include", "true", "false", "rem"};

bool isNameStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool isNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

std::string lower(std::string s) {
  for (char& c : s) {
    c = char(std::tolower(static_cast<unsigned char>(c)));
  }
  return s;
}

}  // namespace

bool isKeyword(const std::string& key) {
  return kKeywords.count(key) != 0;
}

std::vector<Token> lex(const std::string& text, int file) {
  std::vector<Token> tokens;
  size_t i = 0;
  int line = 1;
  size_t lineStart = 0;
  const size_t n = text.size();
  auto posAt = [&](size_t at) { return SourcePos{file, line, int(at - lineStart) + 1}; };
  auto push = [&](Tok kind, size_t at, std::string spelling) -> Token& {
    Token t;
    t.kind = kind;
    t.pos = posAt(at);
    t.text = std::move(spelling);
    tokens.push_back(std::move(t));
    return tokens.back();
  };
  while (i < n) {
    const char c = text[i];
    if (c == '\n') {
      push(Tok::Newline, i, "\n");
      ++i;
      ++line;
      lineStart = i;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    if (c == ';') {  // a comment to the end of the line
      while (i < n && text[i] != '\n') {
        ++i;
      }
      continue;
    }
    if (c == '"') {
      const size_t start = i++;
      std::string value;
      while (i < n && text[i] != '"' && text[i] != '\n') {
        if (text[i] == 0) {
          fail(posAt(i), "a string cannot hold the character of code 0");
        }
        value += text[i++];
      }
      if (i >= n || text[i] != '"') {
        fail(posAt(start), "string without its closing quote");
      }
      ++i;
      push(Tok::String, start, value);
      continue;
    }
    if (c == '$' && i + 1 < n && std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
      const size_t start = i++;
      int64_t value = 0;
      while (i < n && std::isxdigit(static_cast<unsigned char>(text[i]))) {
        const char h = char(std::tolower(static_cast<unsigned char>(text[i++])));
        value = value * 16 + (h <= '9' ? h - '0' : h - 'a' + 10);
        if (value > 0xFFFFFFFFLL) {
          fail(posAt(start), "hexadecimal number is larger than 32 bits");
        }
      }
      // $FFFFFFFF is -1: hexadecimal spells the 32 bits.
      push(Tok::Int, start, text.substr(start, i - start)).intValue = int32_t(uint32_t(value));
      continue;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) ||
        (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(text[i + 1])))) {
      const size_t start = i;
      bool isFloat = false;
      while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
        ++i;
      }
      if (i < n && text[i] == '.' && !(i + 1 < n && isNameStart(text[i + 1]) && text[i + 1] != 'e' && text[i + 1] != 'E')) {
        isFloat = true;
        ++i;
        while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
          ++i;
        }
      }
      if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < n && (text[j] == '+' || text[j] == '-')) {
          ++j;
        }
        if (j < n && std::isdigit(static_cast<unsigned char>(text[j]))) {
          isFloat = true;
          i = j;
          while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
          }
        }
      }
      const std::string spelling = text.substr(start, i - start);
      if (i < n && isNameStart(text[i])) {
        fail(posAt(i), "a number runs into a name: put a space or operator between them");
      }
      if (isFloat) {
        const double value = std::strtod(spelling.c_str(), nullptr);
        if (std::isinf(float(value))) {
          fail(posAt(start), "float number is too large");
        }
        push(Tok::Float, start, spelling).floatValue = float(value);
      } else {
        int64_t value = 0;
        for (char d : spelling) {
          value = value * 10 + (d - '0');
          if (value > 2147483648LL) {
            fail(posAt(start), "integer number is too large (the largest is 2147483647)");
          }
        }
        push(Tok::Int, start, spelling).intValue = value;
      }
      continue;
    }
    if (isNameStart(c)) {
      const size_t start = i;
      while (i < n && isNameChar(text[i])) {
        ++i;
      }
      const std::string spelling = text.substr(start, i - start);
      const std::string key = lower(spelling);
      if (key == "rem") {  // REM comment
        while (i < n && text[i] != '\n') {
          ++i;
        }
        continue;
      }
      char sigil = 0;
      if (i < n && (text[i] == '%' || text[i] == '#' || text[i] == '$')) {
        sigil = text[i++];
      }
      const bool keyword = !sigil && isKeyword(key);
      Token& t = push(keyword ? Tok::Keyword : Tok::Name, start, spelling);
      t.key = key;
      t.sigil = sigil;
      continue;
    }
    const size_t start = i;
    if ((c == '<' || c == '>') && i + 1 < n && (text[i + 1] == '=' || (c == '<' && text[i + 1] == '>'))) {
      push(Tok::Op, start, text.substr(i, 2));
      i += 2;
      continue;
    }
    if (c == '=' && i + 1 < n && (text[i + 1] == '<' || text[i + 1] == '>')) {  // =< and => as <= and >=
      push(Tok::Op, start, std::string(1, text[i + 1]) + "=");
      i += 2;
      continue;
    }
    if (std::string("+-*/^=<>(),.\\[]~:").find(c) != std::string::npos) {
      push(Tok::Op, start, std::string(1, c));
      ++i;
      continue;
    }
    if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) >= 127) {
      fail(posAt(start), "unexpected character (code " + std::to_string(static_cast<unsigned char>(c)) + ")");
    }
    fail(posAt(start), std::string("unexpected character '") + c + "'");
  }
  Token endTok;
  endTok.kind = Tok::Newline;
  endTok.pos = posAt(i);
  tokens.push_back(endTok);
  endTok.kind = Tok::End;
  tokens.push_back(endTok);
  return tokens;
}
