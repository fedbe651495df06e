/* Waits ten minutes: only an end request from the host ends it early. */
#include "kestrel.h"

void __MAIN(void) {
  _fdebuglog(__ksStrConst("waiting"));
  _fdelay(600000);
  _fdebuglog(__ksStrConst("not reached"));
}
