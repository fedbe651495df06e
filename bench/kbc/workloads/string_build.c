/* String building (string_build.kb in C, through the same string entries). */
#include "basic_runtime.h"
/* Variables on a page of their own, apart from the code (as kbc lays out its data):
 * stores next to running code make processors and emulators drop decoded code. */
#define OWN_PAGE __attribute__((aligned(4096)))
OWN_PAGE struct ksStr* s;
int length;
void __MAIN(void) {
  __ksStrStore(&s, 0);
  for (int i = 1; i <= 2000; ++i) {
    __ksStrStore(&s, __ksStrConcat(__ksStrConcat(__ksStrLoad(&s), __ksStrConst("ab")), __ksStrFromInt(i)));
  }
  length = _flen(__ksStrLoad(&s));
  __ksStrStore(&s, 0);
}
