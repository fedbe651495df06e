/* The arithmetic entries, ending with Mod by zero, which the runtime reports itself. */
#include "basic_runtime.h"

void __MAIN(void) {
  ks_log_int("abs=", __ksAbs(-5));
  ks_log_int("abs min=", __ksAbs(-2147483647 - 1));
  ks_log_int("sgn=", __ksSgn(-9));
  ks_log_int("mod -7 3=", __ksMod(-7, 3));
  ks_log_int("mod 7 -3=", __ksMod(7, -3));
  ks_log_float("fabs=", __ksFAbs(-2.5f));
  ks_log_float("fsgn -0=", __ksFSgn(-0.0f));
  ks_log_float("fsgn -3=", __ksFSgn(-3.0f));
  ks_log_float("fmod=", __ksFMod(7.5f, 2.0f));
  ks_log_float("fpow=", __ksFPow(2.0f, 10.0f));
  ks_log_int("mod by zero=", __ksMod(5, 0));
  _fdebuglog(__ksStrConst("not reached"));
}
