/* The language core's records and entries for C test programs, laid out as compiled
 * data: type descriptors, vector descriptors, array records and Data tables. */
#ifndef KESTREL_BASIC_RUNTIME_H
#define KESTREL_BASIC_RUNTIME_H

#include "kestrel.h"

/* A record header; the field slots follow it. A null type marks a list sentinel. */
struct ksObj {
  int* fields;
  struct ksObj* next;
  struct ksObj* prev;
  struct ksType* type;
  int refs;
};

/* A type descriptor with room for up to eight field-type pointers. */
struct ksType {
  int code; /* 5 */
  struct ksObj used;
  struct ksObj free;
  int field_count;
  int* field_types[8];
};

/* The two sentinels of a type named T, as the compiler emits them. */
#define KS_TYPE_SENTINELS(T) \
  5, {0, &(T).used, &(T).used, 0, -1}, {0, &(T).free, &(T).free, 0, -1}

struct ksVector {
  int code; /* 6 */
  int count;
  int* element_type;
};

/* An array record with room for up to three size words. */
struct ksArray {
  int* data;
  int element_type;
  int dimensions;
  int sizes[3];
};

struct ksData {
  int type; /* 0 end, 1 integer, 2 float bits, 4 literal pointer */
  int value;
};

/* Arrays and vectors. */
void __ksDimArray(struct ksArray* array);
void __ksUndimArray(struct ksArray* array);
void __ksArrayBoundsEx(void);
int* __ksVecAlloc(struct ksVector* vector);
void __ksVecFree(int* block, struct ksVector* vector);
void __ksVecBoundsEx(void);

/* Objects. */
struct ksObj* __ksObjNew(struct ksType* type);
void __ksObjDelete(struct ksObj* object);
void __ksObjDeleteEach(struct ksType* type);
void __ksObjRelease(struct ksObj* object);
void __ksObjStore(struct ksObj** variable, struct ksObj* object);
int __ksObjCompare(struct ksObj* left, struct ksObj* right);
struct ksObj* __ksObjNext(struct ksObj* object);
struct ksObj* __ksObjPrev(struct ksObj* object);
struct ksObj* __ksObjFirst(struct ksType* type);
struct ksObj* __ksObjLast(struct ksType* type);
struct ksObj* __ksObjInsBefore(struct ksObj* moved, struct ksObj* position);
struct ksObj* __ksObjInsAfter(struct ksObj* moved, struct ksObj* position);
int __ksObjEachFirst(struct ksObj** variable, struct ksType* type);
int __ksObjEachNext(struct ksObj** variable);
struct ksStr* __ksObjToStr(struct ksObj* object);
int __ksObjToHandle(struct ksObj* object);
struct ksObj* __ksObjFromHandle(int handle, struct ksType* type);
void __ksNullObjEx(void);

/* Data statements. */
void __ksRestore(struct ksData* item);
int __ksReadInt(void);
float __ksReadFloat(void);
struct ksStr* __ksReadStr(void);

/* Arithmetic. */
int __ksAbs(int value);
int __ksSgn(int value);
int __ksMod(int a, int b);
float __ksFAbs(float value);
float __ksFSgn(float value);
float __ksFMod(float a, float b);
float __ksFPow(float a, float b);

void _fruntimestats(void);

/* Logs label + text through DebugLog. */
static inline void ks_log(const char* label, struct ksStr* text) {
  _fdebuglog(__ksStrConcat(__ksStrConst(label), text));
}

static inline void ks_log_int(const char* label, int value) {
  ks_log(label, __ksStrFromInt(value));
}

static inline void ks_log_float(const char* label, float value) {
  ks_log(label, __ksStrFromFloat(value));
}

#endif
