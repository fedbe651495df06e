/* Starts its own command line through ExecFile. */
#include "kestrel.h"

void __MAIN(void) {
  _fexecfile(_fcommandline());
}
