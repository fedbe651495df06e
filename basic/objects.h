// User-type records shared with compiled code: the `ksType` descriptors the compiler
// emits, the `ksObj` records kept on each type's lists, and the `_ksObj...` entries.
#pragma once
#include <cstdint>

#include "basic/ks_str.h"

// Type codes of fields, elements and data items.
enum ksTypeCode : int32_t {
  kIntType = 1,
  kFloatType = 2,
  kStringType = 3,
  kCStringType = 4,
  kObjectType = 5,
  kVectorType = 6,
};

struct ksType;

// A record header; the field slots follow it. With a null type it is a list sentinel.
struct ksObj {
  int32_t* fields;  // the slots after this header; null once deleted
  ksObj* next;
  ksObj* prev;
  ksType* type;
  int32_t refs;
};

// A type descriptor in compiled data. The field-type pointers follow the header:
// each points to a type-code word (`_ksIntType`, another ksType, a vector descriptor).
struct ksType {
  int32_t code;  // kObjectType
  ksObj used;
  ksObj freeList;
  int32_t fieldCount;

  int32_t* const* fieldTypes() const {
    return reinterpret_cast<int32_t* const*>(reinterpret_cast<const char*>(this) + sizeof(ksType));
  }
  int32_t fieldCode(int i) const { return *fieldTypes()[i]; }
};

// A vector (fixed-size array in a record or in compiled code) descriptor.
struct ksVecType {
  int32_t code;  // kVectorType
  int32_t count;
  int32_t* elementType;
};

static_assert(sizeof(ksObj) == 20 && sizeof(ksType) == 48 && sizeof(ksVecType) == 12,
              "layouts are shared with compiled code");

ksObj* ksObjNew(ksType* type);
void ksObjDelete(ksObj* o);
void ksObjDeleteEach(ksType* type);
void ksObjRelease(ksObj* o);
void ksObjStore(ksObj** slot, ksObj* o);
int32_t ksObjCompare(ksObj* a, ksObj* b);
ksObj* ksObjNext(ksObj* o);
ksObj* ksObjPrev(ksObj* o);
ksObj* ksObjFirst(ksType* type);
ksObj* ksObjLast(ksType* type);
ksObj* ksObjInsBefore(ksObj* a, ksObj* b);
ksObj* ksObjInsAfter(ksObj* a, ksObj* b);
int32_t ksObjEachFirst(ksObj** var, ksType* type);
int32_t ksObjEachNext(ksObj** var);
ksStr* ksObjToStr(ksObj* o);
int32_t ksObjToHandle(ksObj* o);
ksObj* ksObjFromHandle(int32_t handle, ksType* type);
[[noreturn]] void ksNullObjEx();

// Counts reported by RuntimeStats.
int ksObjActiveCount();
int ksObjUnreleasedCount();

// Ends the objects' life for the run: empties the lists of every type that held
// records (their blocks go with the blockRegistry), the handle tables and counters.
void objectsReset();
