/* Delay 0 returns at once. */
#include "kestrel.h"

void __MAIN(void) {
  _fdelay(0);
  _fdebuglog(__ksStrConst("after delay"));
}
