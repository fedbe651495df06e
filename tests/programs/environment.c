/* SetEnv then GetEnv; an unset variable reads as ""; an empty value removes it. */
#include "kestrel.h"

static void show(const char* label, struct ksStr* value) {
  struct ksStr* line = __ksStrConcat(__ksStrConst(label), value);
  _fdebuglog(__ksStrConcat(line, __ksStrConst("]")));
}

void __MAIN(void) {
  _fsetenv(__ksStrConst("KS_TEST_VARIABLE"), __ksStrConst("hello world"));
  show("set=[", _fgetenv(__ksStrConst("KS_TEST_VARIABLE")));
  show("unset=[", _fgetenv(__ksStrConst("KS_NEVER_SET_VARIABLE")));
  _fsetenv(__ksStrConst("KS_TEST_VARIABLE"), __ksStrConst(""));
  show("removed=[", _fgetenv(__ksStrConst("KS_TEST_VARIABLE")));
  show("args=[", _fcommandline());
}
