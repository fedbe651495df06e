/* RuntimeStats with live strings and objects: the program logs the addresses it
 * holds, so that the report's "string@" lines can be checked against them. */
#include "basic_runtime.h"

static struct ksType thing = {KS_TYPE_SENTINELS(thing), 2, {&__ksIntType, &__ksStrType}};
static struct ksObj* shell;

/* The address as the C++ stream prints a pointer: "0x" and lower-case hex digits.
 * Each text gets its own static buffer: a string made by __ksStrConst borrows its
 * text, as compiled code's literals stay in the program's data for the whole run. */
static struct ksStr* address_text(const void* pointer) {
  static char texts[3][12];
  static int used;
  char* const text = texts[used++];
  char digits[9];
  unsigned value = (unsigned)pointer;
  int count = 0;
  int i;
  do {
    digits[count++] = "0123456789abcdef"[value & 15];
    value >>= 4;
  } while (value);
  text[0] = '0';
  text[1] = 'x';
  for (i = 0; i < count; ++i) {
    text[2 + i] = digits[count - 1 - i];
  }
  text[2 + count] = 0;
  return __ksStrConst(text);
}

void __MAIN(void) {
  struct ksStr* first = __ksStrConst("first");
  struct ksStr* gone = __ksStrConst("gone");
  struct ksStr* second = __ksStrConst("second");
  struct ksObj* live = __ksObjNew(&thing);
  __ksStrRelease(gone);
  __ksObjStore(&shell, __ksObjNew(&thing));
  __ksObjDelete(shell);
  /* A string held by an object field is a live string too. */
  __ksStrStore((struct ksStr**)&live->fields[1], __ksStrConst("field"));

  ks_log("first=", address_text(first));
  ks_log("second=", address_text(second));
  ks_log("field=", address_text((const void*)live->fields[1]));
  _fruntimestats();
  __ksStrRelease(first);
  __ksStrRelease(second);
  __ksObjDelete(live);
  __ksObjStore(&shell, 0);
  _fruntimestats();
}
