/* Strings through the internal entries: joining, comparing, loading and storing
 * variables, number text both ways. Every result is logged. */
#include "basic_runtime.h"

static struct ksStr* name_variable;

void __MAIN(void) {
  struct ksStr* empty = __ksStrLoad(&name_variable);
  ks_log("unset=[", __ksStrConcat(empty, __ksStrConst("]")));
  ks_log_int("still null=", name_variable == 0);

  __ksStrStore(&name_variable, __ksStrConst("Kestrel"));
  __ksStrStore(&name_variable, __ksStrConcat(__ksStrLoad(&name_variable), __ksStrConst(" Basic")));
  ks_log("stored=", __ksStrLoad(&name_variable));

  ks_log_int("abc<abd=", __ksStrCompare(__ksStrConst("abc"), __ksStrConst("abd")) < 0);
  ks_log_int("ab<abc=", __ksStrCompare(__ksStrConst("ab"), __ksStrConst("abc")) < 0);
  ks_log_int("empty=empty=", __ksStrCompare(__ksStrConst(""), __ksStrConst("")));

  ks_log_int("toint=", __ksStrToInt(__ksStrConst(" 42abc")));
  ks_log_int("toint none=", __ksStrToInt(__ksStrConst("abc")));
  ks_log_float("tofloat=", __ksStrToFloat(__ksStrConst("1e3")));
  ks_log_int("fromint=", -2147483647 - 1);
  ks_log_float("1.5=", 1.5f);
  ks_log_float("-1.5=", -1.5f);
  ks_log_float("1e7=", 10000000.0f);
  ks_log_float("-0.05=", -0.05f);
  ks_log_float("0.001=", 0.001f);
  ks_log_float("-0=", -0.0f);
  ks_log_float("-inf=", -1.0f / 0.0f);

  __ksStrStore(&name_variable, 0);
  _fruntimestats();
}
