// RuntimeStats: what the basic module still holds, for hunting leaks in a program.
#include "basic/runtime_stats.h"

#include <iostream>

#include "basic/objects.h"
#include "basic/string_pool.h"

void writeRuntimeStats(std::ostream& out) {
  out << "Active strings:" << ksStrActiveCount() << std::endl;
  out << "Active objects:" << ksObjActiveCount() << std::endl;
  out << "Unreleased Objects:" << ksObjUnreleasedCount() << std::endl;
  const ksStr* const sentinel = stringUsedList();
  for (const ksStr* s = sentinel->next; s != sentinel; s = s->next) {
    out << "string@" << static_cast<const void*>(s) << std::endl;
  }
}

void runtimeStats() {
  writeRuntimeStats(std::cout);
}
