/* Integer loop: a sum of products and remainders (int_loop.kb in C). */
#include "basic_runtime.h"
/* Variables on a page of their own, apart from the code (as kbc lays out its data):
 * stores next to running code make processors and emulators drop decoded code. */
#define OWN_PAGE __attribute__((aligned(4096)))
OWN_PAGE int total;
void __MAIN(void) {
  total = 0;
  for (int i = 1; i <= 100000; ++i) {
    total = total + (i * i) % 7 + (i >> 3);
  }
}
