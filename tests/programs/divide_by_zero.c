/* An integer division by zero in the program itself. */
#include "kestrel.h"

void __MAIN(void) {
  volatile int zero = 0;
  volatile int result = 10 / zero;
  _fdebuglog(__ksStrFromInt(result));
}
