/* The debugger hooks and the timer commands through the real calling convention. */
#include "kestrel.h"

void __MAIN(void) {
  __ksDebugEnter(1, 2, 3);
  __ksDebugStmt(4, 5);
  __ksDebugLeave();
  int timer = _fcreatetimer(100);
  int ticks = 0;
  for (int i = 0; i < 5; ++i) {
    ticks += _fwaittimer(timer);
  }
  _ffreetimer(timer);
  _fdebuglog(__ksStrConcat(__ksStrConst("timer ok: "), __ksStrFromInt(ticks >= 5)));
  _fdebuglog(__ksStrConcat(__ksStrConst("no timer: "), __ksStrFromInt(_fcreatetimer(0))));
}
