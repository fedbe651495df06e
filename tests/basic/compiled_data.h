// Records laid out as the compiler emits them into a module's data, for tests of the
// basic module's entries: type descriptors, vector descriptors, arrays, data tables.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>

#include "basic/arrays.h"
#include "basic/objects.h"
#include "runtime/modules.h"
#include <gtest/gtest.h>

// The basic module's registered names and addresses.
inline std::map<std::string, void*>& basicSymbols() {
  static std::map<std::string, void*> symbols;
  if (symbols.empty()) {
    basic_link([](CommandSignature name, void* entry) { symbols[name] = entry; });
  }
  return symbols;
}

// The type-code words behind the data symbols, as compiled code points to them.
inline int32_t* intTypeWord() { return static_cast<int32_t*>(basicSymbols()["_ksIntType"]); }
inline int32_t* floatTypeWord() { return static_cast<int32_t*>(basicSymbols()["_ksFltType"]); }
inline int32_t* stringTypeWord() { return static_cast<int32_t*>(basicSymbols()["_ksStrType"]); }

inline void compiledSentinel(ksObj& sentinel) {
  sentinel.fields = nullptr;
  sentinel.next = sentinel.prev = &sentinel;
  sentinel.type = nullptr;
  sentinel.refs = -1;
}

// A type descriptor with N fields: word 0 = 5, two sentinels, count, field types.
template <int N>
struct CompiledType {
  ksType type;
  int32_t* fields[N];

  explicit CompiledType(std::array<void*, N> fieldTypes) {
    type.code = kObjectType;
    compiledSentinel(type.used);
    compiledSentinel(type.freeList);
    type.fieldCount = N;
    for (int i = 0; i < N; ++i) {
      fields[i] = static_cast<int32_t*>(fieldTypes[i]);
    }
  }
  ksType* get() { return &type; }
};

// A vector descriptor: 6, element count, element type word.
inline ksVecType compiledVector(int32_t count, void* elementType) {
  return ksVecType{kVectorType, count, static_cast<int32_t*>(elementType)};
}

// An array record with D dimensions whose size words hold the declared bounds.
template <int D>
struct CompiledArray {
  ksArray array;
  int32_t sizes[D];

  CompiledArray(int32_t elementType, std::array<int32_t, D> bounds) {
    array.data = nullptr;
    array.elementType = elementType;
    array.dimensions = D;
    for (int k = 0; k < D; ++k) {
      sizes[k] = bounds[k];
    }
  }
  ksArray* get() { return &array; }
};

static_assert(sizeof(CompiledType<2>) == 56 && sizeof(CompiledArray<2>) == 20,
              "test records follow the compiled layout");

// Each test is one run of the basic module: everything starts empty and is swept.
class BasicRun : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(basic_create()); }
  void TearDown() override { basic_destroy(); }
};
