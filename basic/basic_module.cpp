// The basic module: its life over a run (pools, counters and tables start empty and
// are swept at the end) and its link table, the index of every entry it provides.
#include "runtime/modules.h"

#include <cstdint>

#include "basic/arithmetic.h"
#include "basic/arrays.h"
#include "basic/block_registry.h"
#include "basic/data_statements.h"
#include "basic/objects.h"
#include "basic/runtime_stats.h"
#include "basic/string_entries.h"
#include "basic/string_pool.h"
#include "runtime/entry.h"

namespace {

// The type-code words behind the four data symbols.
int32_t intTypeWord = kIntType;
int32_t floatTypeWord = kFloatType;
int32_t stringTypeWord = kStringType;
int32_t cStringTypeWord = kCStringType;

// Frees everything a run left: every string (those held by variables, objects and
// arrays included), every block, and the run's marks in compiled data.
void sweep() {
  stringPoolReset();
  objectsReset();
  arraysReset();
  dataReset();
  blockFreeAll();
}

}  // namespace

// A run normally finds everything empty; whatever an earlier run failed to sweep is
// swept first, so that every count starts at 0.
bool basic_create() {
  sweep();
  return true;
}

void basic_destroy() {
  sweep();
}

void basic_link(LinkCallback callback) {
  callback("_ksIntType", &intTypeWord);
  callback("_ksFltType", &floatTypeWord);
  callback("_ksStrType", &stringTypeWord);
  callback("_ksCStrType", &cStringTypeWord);

  callback("_ksStrLoad", ksBareEntry<&ksStrLoad>());
  callback("_ksStrRelease", ksBareEntry<&ksStrRelease>());
  callback("_ksStrStore", ksBareEntry<&ksStrStore>());
  callback("_ksStrCompare", ksEntry<&ksStrCompare>());
  callback("_ksStrConcat", ksEntry<&ksStrConcat>());
  callback("_ksStrToInt", ksEntry<&ksStrToInt>());
  callback("_ksStrFromInt", ksEntry<&ksStrFromInt>());
  callback("_ksStrToFloat", ksEntry<&ksStrToFloat>());
  callback("_ksStrFromFloat", ksEntry<&ksStrFromFloat>());
  callback("_ksStrConst", ksBareEntry<&ksStrConst>());

  callback("_ksDimArray", ksEntry<&ksDimArray>());
  callback("_ksUndimArray", ksEntry<&ksUndimArray>());
  callback("_ksArrayBoundsEx", ksEntry<&ksArrayBoundsEx>());
  callback("_ksVecAlloc", ksEntry<&ksVecAlloc>());
  callback("_ksVecFree", ksEntry<&ksVecFree>());
  callback("_ksVecBoundsEx", ksEntry<&ksVecBoundsEx>());

  callback("_ksObjNew", ksBareEntry<&ksObjNew>());
  callback("_ksObjDelete", ksBareEntry<&ksObjDelete>());
  callback("_ksObjDeleteEach", ksEntry<&ksObjDeleteEach>());
  callback("_ksObjRelease", ksBareEntry<&ksObjRelease>());
  callback("_ksObjStore", ksBareEntry<&ksObjStore>());
  callback("_ksObjCompare", ksBareEntry<&ksObjCompare>());
  callback("_ksObjNext", ksBareEntry<&ksObjNext>());
  callback("_ksObjPrev", ksBareEntry<&ksObjPrev>());
  callback("_ksObjFirst", ksBareEntry<&ksObjFirst>());
  callback("_ksObjLast", ksBareEntry<&ksObjLast>());
  callback("_ksObjInsBefore", ksBareEntry<&ksObjInsBefore>());
  callback("_ksObjInsAfter", ksBareEntry<&ksObjInsAfter>());
  callback("_ksObjEachFirst", ksBareEntry<&ksObjEachFirst>());
  callback("_ksObjEachNext", ksBareEntry<&ksObjEachNext>());
  callback("_ksObjToStr", ksEntry<&ksObjToStr>());
  callback("_ksObjToHandle", ksEntry<&ksObjToHandle>());
  callback("_ksObjFromHandle", ksEntry<&ksObjFromHandle>());
  callback("_ksNullObjEx", ksEntry<&ksNullObjEx>());

  callback("_ksRestore", ksEntry<&ksRestore>());
  callback("_ksReadInt", ksEntry<&ksReadInt>());
  callback("_ksReadFloat", ksEntry<&ksReadFloat>());
  callback("_ksReadStr", ksEntry<&ksReadStr>());

  callback("_ksAbs", ksEntry<&ksAbs>());
  callback("_ksSgn", ksEntry<&ksSgn>());
  callback("_ksMod", ksEntry<&ksMod>());
  callback("_ksFAbs", ksEntry<&ksFAbs>());
  callback("_ksFSgn", ksEntry<&ksFSgn>());
  callback("_ksFMod", ksEntry<&ksFMod>());
  callback("_ksFPow", ksEntry<&ksFPow>());

  callback("RuntimeStats", ksEntry<&runtimeStats>());
}
