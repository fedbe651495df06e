/* Calls a command no module registers: linking fails. */
#include "kestrel.h"

void _fnosuchcommand(void);

void __MAIN(void) {
  _fnosuchcommand();
}
