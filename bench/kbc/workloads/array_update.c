/* Array updates (array_update.kb in C, over the same array record). */
#include "basic_runtime.h"
/* Variables on a page of their own, apart from the code (as kbc lays out its data):
 * stores next to running code make processors and emulators drop decoded code. */
#define OWN_PAGE __attribute__((aligned(4096)))
OWN_PAGE struct ksArray cells = {0, 1, 1, {1000}};
void __MAIN(void) {
  if (cells.data) __ksUndimArray(&cells);
  cells.sizes[0] = 1000;
  __ksDimArray(&cells);
  for (int rep = 1; rep <= 50; ++rep) {
    for (int i = 0; i <= 1000; ++i) {
      cells.data[i] = cells.data[i] + i;
    }
  }
}
