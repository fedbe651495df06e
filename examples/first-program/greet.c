/* A first Kestrel program in C (README.md, "Your first program in C").
 * Greets whoever the command line names, counts the letters and takes a square root.
 * Strings follow the runtime's rule: a string passed to an entry belongs to it, a
 * string an entry returns belongs to the caller; a variable holds one with
 * __ksStrStore and gives out copies with __ksStrLoad. */
#include "kestrel_runtime.h"

static struct ksStr* name;

void __MAIN(void) {
  __ksStrStore(&name, _ftrim(_fcommandline()));
  if (_flen(__ksStrLoad(&name)) == 0) {
    __ksStrStore(&name, __ksStrConst("world"));
  }
  _fdebuglog(__ksStrConcat(__ksStrConst("Hello, "), __ksStrLoad(&name)));
  _fdebuglog(__ksStrConcat(__ksStrConst("In capitals: "), _fupper(__ksStrLoad(&name))));

  int letters = _flen(__ksStrLoad(&name));
  _fdebuglog(__ksStrConcat(__ksStrConst("Letters: "), __ksStrFromInt(letters)));
  _fdebuglog(__ksStrConcat(__ksStrConst("Square root of that: "), __ksStrFromFloat(_fsqr((float)letters))));
  __ksStrStore(&name, 0);
}
