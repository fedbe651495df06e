// The internal string entries compiled code calls (`_ksStr...`). Each `$` argument
// belongs to the entry; each string result is new and belongs to the caller.
#pragma once
#include <cstdint>

#include "basic/ks_str.h"

ksStr* ksStrLoad(ksStr** slot);
void ksStrStore(ksStr** slot, ksStr* s);
int32_t ksStrCompare(ksStr* a, ksStr* b);
ksStr* ksStrConcat(ksStr* a, ksStr* b);
int32_t ksStrToInt(ksStr* s);
ksStr* ksStrFromInt(int32_t value);
float ksStrToFloat(ksStr* s);
ksStr* ksStrFromFloat(float value);
// The new string borrows the literal: it must stay unchanged for the rest of the run.
ksStr* ksStrConst(const char* literal);
// `_ksStrRelease` is ksStrRelease itself (basic/ks_str.h).
