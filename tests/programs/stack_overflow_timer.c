/* Unbounded recursion that builds a string at each level while a timer thread lives:
 * the allocator is then shared between threads and takes its lock on every call. */
#include "kestrel.h"

static int deeper(int depth) {
  volatile char frame[64];
  frame[0] = (char)depth;
  __ksStrConcat(__ksStrConst("abc"), __ksStrConst("def"));
  return deeper(depth + 1) + frame[0];
}

void __MAIN(void) {
  _fcreatetimer(60);
  _fdebuglog(__ksStrFromInt(deeper(0)));
}
