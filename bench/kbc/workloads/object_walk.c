/* Object list walks (object_walk.kb in C, through the same object entries). */
#include "basic_runtime.h"
/* Variables on a page of their own, apart from the code (as kbc lays out its data):
 * stores next to running code make processors and emulators drop decoded code. */
#define OWN_PAGE __attribute__((aligned(4096)))
static OWN_PAGE struct ksType item = {KS_TYPE_SENTINELS(item), 1, {&__ksIntType}};
int made, total;
struct ksObj* o;
void __MAIN(void) {
  if (!made) {
    made = 1;
    for (int i = 1; i <= 1000; ++i) {
      __ksObjStore(&o, __ksObjNew(&item));
      if (!o || !o->fields) __ksNullObjEx();
      o->fields[0] = i;
    }
    __ksObjStore(&o, 0);
  }
  total = 0;
  for (int rep = 1; rep <= 20; ++rep) {
    for (int more = __ksObjEachFirst(&o, &item); more; more = __ksObjEachNext(&o)) {
      if (!o || !o->fields) __ksNullObjEx();
      total += o->fields[0];
    }
  }
}
