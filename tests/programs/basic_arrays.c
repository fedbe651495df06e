/* Dim arrays and vectors through their entries, ending with the bounds error that
 * compiled code raises for a bad index. */
#include "basic_runtime.h"

/* Dim grid%(3, 4), names$(2) */
static struct ksArray grid = {0, 1, 2, {3, 4}};
static struct ksArray names = {0, 3, 1, {2}};
/* A vector of three strings. */
static struct ksVector words = {6, 3, &__ksStrType};

void __MAIN(void) {
  int* vector;
  __ksDimArray(&grid);
  ks_log_int("size 0=", grid.sizes[0]);
  ks_log_int("size 1=", grid.sizes[1]);
  ks_log_int("last slot=", grid.data[19]);
  grid.data[19] = 7;

  __ksDimArray(&names);
  __ksStrStore((struct ksStr**)&names.data[0], __ksStrConst("zero"));
  __ksStrStore((struct ksStr**)&names.data[2], __ksStrConst("two"));
  vector = __ksVecAlloc(&words);
  __ksStrStore((struct ksStr**)&vector[1], __ksStrConst("one"));
  _fruntimestats();
  __ksUndimArray(&names);
  __ksUndimArray(&names);
  __ksVecFree(vector, &words);
  ks_log_int("undimensioned=", names.data == 0);
  _fruntimestats();

  __ksUndimArray(&grid);
  grid.sizes[0] = 0;
  grid.sizes[1] = 0;
  __ksDimArray(&grid);
  ks_log_int("redim sizes=", grid.sizes[0] * 10 + grid.sizes[1]);
  __ksArrayBoundsEx();
  _fdebuglog(__ksStrConst("not reached"));
}
