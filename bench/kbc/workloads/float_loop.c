/* Float loop: a damped sum (float_loop.kb in C). */
#include "basic_runtime.h"
/* Variables on a page of their own, apart from the code (as kbc lays out its data):
 * stores next to running code make processors and emulators drop decoded code. */
#define OWN_PAGE __attribute__((aligned(4096)))
OWN_PAGE float x;
void __MAIN(void) {
  x = 0;
  for (int i = 1; i <= 100000; ++i) {
    x = x * 0.999f + (float)i * 0.5f;
  }
}
