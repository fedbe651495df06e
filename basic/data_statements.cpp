// Data statements: one cursor over the compiled table, moved forward by every
// successful Read.
#include "basic/data_statements.h"

#include <bit>
#include <cmath>

#include "basic/ks_error.h"
#include "basic/number_text.h"
#include "basic/objects.h"
#include "basic/slots.h"

namespace {

// Null until the first Restore; a Read then finds no data rather than following it.
ksData* cursor = nullptr;

// The item a Read is about to convert; raises the read errors and leaves the cursor.
const ksData& currentItem() {
  if (!cursor || cursor->type == 0) {
    runtimeError("Out of data");
  }
  const int32_t type = cursor->type;
  if (type != kIntType && type != kFloatType && type != kCStringType) {
    runtimeError("Bad data type");
  }
  return *cursor;
}

// Truncation toward zero. A value outside the integer range (or NaN) gives the
// processor's "integer indefinite" 0x80000000, as a truncating conversion does on x86.
int32_t truncateToInt(float value) {
  if (!(value > -2147483904.0f && value < 2147483648.0f)) {
    return INT32_MIN;
  }
  return static_cast<int32_t>(value);
}

const char* literalText(const ksData& item) {
  const char* text = slotPointer<const char>(item.value);
  return text ? text : "";
}

}  // namespace

void ksRestore(ksData* item) {
  cursor = item;
}

int32_t ksReadInt() {
  const ksData& item = currentItem();
  int32_t result;
  switch (item.type) {
    case kIntType:
      result = item.value;
      break;
    case kFloatType:
      result = truncateToInt(std::bit_cast<float>(item.value));
      break;
    default:
      result = textToInt(literalText(item));
      break;
  }
  ++cursor;
  return result;
}

float ksReadFloat() {
  const ksData& item = currentItem();
  float result;
  switch (item.type) {
    case kIntType:
      result = static_cast<float>(item.value);
      break;
    case kFloatType:
      result = std::bit_cast<float>(item.value);
      break;
    default:
      result = textToFloat(literalText(item));
      break;
  }
  ++cursor;
  return result;
}

ksStr* ksReadStr() {
  const ksData& item = currentItem();
  ksStr* result;
  switch (item.type) {
    case kIntType:
      result = ksStrNew(intToText(item.value));
      break;
    case kFloatType:
      result = ksStrNew(floatToText(std::bit_cast<float>(item.value)));
      break;
    default:
      result = ksStrNew(literalText(item));
      break;
  }
  ++cursor;
  return result;
}

void dataReset() {
  cursor = nullptr;
}
