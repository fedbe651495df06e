// The `_ksStr...` entries: loading, storing, comparing, joining and converting the
// language's strings, with the hand-over rules of the pool. Loading, storing and
// literals are bare entries: list operations, with the heap work on wrapped slow paths.
#include "basic/string_entries.h"

#include <algorithm>
#include <cstring>

#include "basic/number_text.h"
#include "basic/string_pool.h"
#include "runtime/entry.h"

namespace {

// A fresh block of nodes first, if needed, and then a copy of the slot's value.
ksStr* loadCopy(ksStr** slot) {
  ksStr* const node = takeStringNode();
  if (*slot) {
    node->value.copyFrom((*slot)->value);
  }
  return node;
}

ksStr* borrowLiteral(const char* literal) {
  ksStr* const node = takeStringNode();
  node->value.borrow(literal);
  return node;
}

}  // namespace

KS_BARE_ENTRY ksStr* ksStrLoad(ksStr** slot) {
  const ksStr* const held = *slot;
  if (!string_pool::hasFreeNode() || (held && held->value.ownsText())) {
    return ksWrapped<&loadCopy>(slot);
  }
  ksStr* const node = string_pool::takeFreeNode();
  if (held) {
    node->value.shareText(held->value);
  } else {
    node->value.clear();
  }
  return node;
}

KS_BARE_ENTRY void ksStrStore(ksStr** slot, ksStr* s) {
  ksStr* const old = *slot;
  *slot = s;
  if (old != s) {
    ksStrRelease(old);
  }
}

int32_t ksStrCompare(ksStr* a, ksStr* b) {
  const std::string_view x = ksStrView(a);
  const std::string_view y = ksStrView(b);
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
  if (b) {
    a->value.append(b->value.view());  // b may be a itself: append copes with that
    if (b != a) {
      ksStrRelease(b);
    }
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

// The commonest string of all: the node borrows the literal, which lives in the
// program's data for the whole run.
KS_BARE_ENTRY ksStr* ksStrConst(const char* literal) {
  if (!string_pool::hasFreeNode()) {
    return ksWrapped<&borrowLiteral>(literal);
  }
  ksStr* const node = string_pool::takeFreeNode();
  node->value.borrow(literal);
  return node;
}
