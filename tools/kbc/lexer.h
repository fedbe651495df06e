// Splits Kestrel Basic source into tokens. Names are case-insensitive: the lexer keeps
// the spelling and a lower-cased key; keywords are recognised by their key.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/kbc/diagnostics.h"

enum class Tok {
  End,      // end of the file
  Newline,  // end of a line
  Name,     // an identifier, sigil kept apart
  Keyword,
  Int,
  Float,
  String,
  Op,  // punctuation and operators: + - * / ^ = <> < > <= >= ( ) , . \ [ ] ~ :
};

struct Token {
  Tok kind = Tok::End;
  SourcePos pos;
  std::string text;  // spelling (names, operators), or the string literal's value
  std::string key;   // lower-cased name or keyword
  char sigil = 0;    // '%', '#' or '$' written right after a name
  int64_t intValue = 0;
  float floatValue = 0;
};

// Throws CompileError on a character or literal that cannot start a token.
std::vector<Token> lex(const std::string& text, int file);

bool isKeyword(const std::string& key);
