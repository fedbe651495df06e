/* Runtime entries for C test programs: every registered entry is declared, under its
 * link name, by kestrel_runtime.h, which the build generates from the runtime's own
 * registry (tools/ksheader). A program defines void __MAIN(void) as its entry and may
 * call only these (there is no libc).
 * Keep programs free of large struct copies and array initialisers on the stack: gcc may
 * turn them into calls to memcpy or memset, which the runtime does not provide. */
#ifndef KESTREL_TEST_PROGRAM_H
#define KESTREL_TEST_PROGRAM_H

#include "kestrel_runtime.h"

#endif
