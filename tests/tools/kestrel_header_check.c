/* Compiled by a test with -Wall -Wextra -Werror -pedantic: the generated header is
 * valid C, agrees with the test programs' own declarations (basic_runtime.h), and
 * gives a sample of entries exactly these types. */
#include "basic_runtime.h"
#include "kestrel_runtime.h"

int (*const instr)(struct ksStr*, struct ksStr*, int) = _finstr;
float (*const sqr)(float) = _fsqr;
void (*const delay)(int) = _fdelay;
struct ksStr* (*const upper)(struct ksStr*) = _fupper;
void (*const write_float)(int, float) = _fwritefloat;
struct ksStr* (*const load)(struct ksStr**) = __ksStrLoad;
struct ksObj* (*const from_handle)(int, struct ksType*) = __ksObjFromHandle;
int* const int_type = &__ksIntType;

void __MAIN(void) {
}
