/* A write through a null pointer. */
#include "kestrel.h"

void __MAIN(void) {
  volatile int* volatile nowhere = 0;
  *nowhere = 1;
  _fdebuglog(__ksStrConst("not reached"));
}
