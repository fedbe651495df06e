/* Unbounded recursion. */
#include "kestrel.h"

static int deeper(int depth) {
  volatile char frame[256];
  frame[0] = (char)depth;
  return deeper(depth + 1) + frame[0];
}

void __MAIN(void) {
  _fdebuglog(__ksStrFromInt(deeper(0)));
}
