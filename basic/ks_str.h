// The language string: a pooled byte string owned by exactly one holder at a time.
// Every `$` argument a handler receives is its own to release (or hand back as its
// result); every `$` result is a new string the caller owns.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "basic/str_value.h"

struct ksStr {
  ksStrValue value;  // any bytes; c_str() is the zero-terminated view
  ksStr* next;
  ksStr* prev;
};

static_assert(sizeof(ksStr) == 24, "pool blocks hold 512 nodes of 24 bytes");

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

// The bytes of a string (a null slot reads as empty).
inline std::string_view ksStrView(const ksStr* s) {
  return s ? s->value.view() : std::string_view();
}

// Copies the text out and releases the string: the usual first step of a handler.
inline std::string ksStrTake(ksStr* s) {
  std::string text(ksStrView(s));
  ksStrRelease(s);
  return text;
}

// Number of strings currently alive (counted on the used list).
int ksStrActiveCount();
