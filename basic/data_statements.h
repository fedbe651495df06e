// The Data statement reader: Restore points the cursor into the table the compiler
// emits ("__DATA"), and each Read converts the item there.
#pragma once
#include <cstdint>

#include "basic/ks_str.h"

// One 8-byte item of the table; type 0 ends it.
struct ksData {
  int32_t type;   // 0 end, 1 integer, 2 float bits, 4 literal pointer
  int32_t value;
};

void ksRestore(ksData* item);
int32_t ksReadInt();
float ksReadFloat();
ksStr* ksReadStr();

// Forgets the cursor (the table belongs to the module, not to the run).
void dataReset();
