/* End stops the program without an end report. */
#include "kestrel.h"

void __MAIN(void) {
  _fend();
  _fdebuglog(__ksStrConst("not reached"));
}
