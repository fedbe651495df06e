// The language string: a pooled byte string owned by exactly one holder at a time.
// Every `$` argument a handler receives is its own to release (or hand back as its
// result); every `$` result is a new string the caller owns.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

struct ksStr {
  std::string value;  // any bytes; c_str() is the zero-terminated view
  ksStr* next;
  ksStr* prev;
};

// New strings from the pool (each counts as one active string).
ksStr* ksStrNew();
ksStr* ksStrNew(const char* text);
ksStr* ksStrNew(std::string_view bytes);

// Returns the node to the pool; null does nothing.
void ksStrRelease(ksStr* s);

// The text of a string (a null slot reads as "").
inline const char* ksStrText(const ksStr* s) {
  return s ? s->value.c_str() : "";
}

// Copies the text out and releases the string: the usual first step of a handler.
inline std::string ksStrTake(ksStr* s) {
  std::string text = s ? std::move(s->value) : std::string();
  ksStrRelease(s);
  return text;
}

// Number of strings currently alive.
int ksStrActiveCount();
