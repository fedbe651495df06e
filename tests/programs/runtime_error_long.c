/* RuntimeError with a 300-character message: the report holds its first 255. */
#include "kestrel.h"

void __MAIN(void) {
  struct ksStr* message = __ksStrConst("");
  for (int i = 0; i < 30; ++i) {
    message = __ksStrConcat(message, __ksStrConst("0123456789"));
  }
  _fruntimeerror(message);
  _fdebuglog(__ksStrConst("not reached"));
}
