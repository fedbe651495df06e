// The `_ksStr...` entries: loading, storing, comparing, joining and converting the
// language's strings, with the hand-over rules of the pool.
#include "basic/string_entries.h"

#include <algorithm>
#include <cstring>

#include "basic/number_text.h"
#include "basic/string_pool.h"

ksStr* ksStrLoad(ksStr** slot) {
  const ksStr* held = *slot;
  return held ? ksStrNew(std::string_view(held->value)) : ksStrNew();
}

void ksStrStore(ksStr** slot, ksStr* s) {
  ksStr* old = *slot;
  *slot = s;
  if (old != s) {
    ksStrRelease(old);
  }
}

int32_t ksStrCompare(ksStr* a, ksStr* b) {
  const std::string_view x = a ? std::string_view(a->value) : std::string_view();
  const std::string_view y = b ? std::string_view(b->value) : std::string_view();
  const size_t common = std::min(x.size(), y.size());
  int result = common ? std::memcmp(x.data(), y.data(), common) : 0;
  if (result == 0) {
    result = x.size() < y.size() ? -1 : (x.size() > y.size() ? 1 : 0);
  }
  ksStrRelease(a);
  if (b != a) {
    ksStrRelease(b);
  }
  return result;
}

ksStr* ksStrConcat(ksStr* a, ksStr* b) {
  if (!a) {
    return b ? b : ksStrNew();
  }
  if (b == a) {
    a->value.append(std::string(a->value));
    return a;
  }
  if (b) {
    a->value.append(b->value);
    ksStrRelease(b);
  }
  return a;
}

int32_t ksStrToInt(ksStr* s) {
  const int32_t value = textToInt(ksStrText(s));
  ksStrRelease(s);
  return value;
}

ksStr* ksStrFromInt(int32_t value) {
  return ksStrNew(intToText(value));
}

float ksStrToFloat(ksStr* s) {
  const float value = textToFloat(ksStrText(s));
  ksStrRelease(s);
  return value;
}

ksStr* ksStrFromFloat(float value) {
  return ksStrNew(floatToText(value));
}

// The commonest string of all, so the node is taken inline.
ksStr* ksStrConst(const char* literal) {
  ksStr* node = takeStringNode();
  node->value.append(literal, std::strlen(literal));
  return node;
}
