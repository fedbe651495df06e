/* SetEnv then GetEnv; an unset variable reads as ""; an empty value removes it; then the
 * command line. The findings end the program as one RuntimeError, the one report that a
 * stand-alone game shows as well as the host runner. */
#include "kestrel.h"

static struct ksStr* add(struct ksStr* line, const char* label, struct ksStr* value) {
  line = __ksStrConcat(line, __ksStrConst(label));
  return __ksStrConcat(__ksStrConcat(line, value), __ksStrConst("]"));
}

void __MAIN(void) {
  struct ksStr* line = __ksStrConst("");
  _fsetenv(__ksStrConst("KS_TEST_VARIABLE"), __ksStrConst("hello world"));
  line = add(line, "set=[", _fgetenv(__ksStrConst("KS_TEST_VARIABLE")));
  line = add(line, " unset=[", _fgetenv(__ksStrConst("KS_NEVER_SET_VARIABLE")));
  _fsetenv(__ksStrConst("KS_TEST_VARIABLE"), __ksStrConst(""));
  line = add(line, " removed=[", _fgetenv(__ksStrConst("KS_TEST_VARIABLE")));
  line = add(line, " args=[", _fcommandline());
  _fruntimeerror(line);
}
