/* Using a field of a deleted object: compiled code calls the null-object error. */
#include "basic_runtime.h"

static struct ksType thing = {KS_TYPE_SENTINELS(thing), 1, {&__ksIntType}};
static struct ksObj* held;

void __MAIN(void) {
  __ksObjStore(&held, __ksObjNew(&thing));
  __ksObjDelete(held);
  if (held == 0 || held->fields == 0) {
    __ksNullObjEx();
  }
  _fdebuglog(__ksStrConst("not reached"));
}
