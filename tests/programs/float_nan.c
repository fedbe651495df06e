/* 0.0 / 0.0 and an overflow in the program give NaN and infinity, not a fault. */
#include "kestrel.h"

void __MAIN(void) {
  volatile float zero = 0.0f;
  volatile float big = 3.0e38f;
  float nan = zero / zero;
  float inf = big * big;
  if (nan != nan) {
    _fdebuglog(__ksStrConst("NaN without a fault"));
  }
  if (inf > big) {
    _fdebuglog(__ksStrConst("infinity without a fault"));
  }
}
