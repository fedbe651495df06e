/* A program written for Windows: it opens "Data\Level1.TXT" relative to the current
 * folder, where the file on disk is data/level1.txt. The first line and the command line
 * end the program as one RuntimeError, the one report that a stand-alone game shows as
 * well as the host runner. */
#include "kestrel.h"

void __MAIN(void) {
  struct ksStr* name = __ksStrConst("Data\\Level1.TXT");
  int file = _freadfile(name);
  if (!file) {
    _fruntimeerror(__ksStrConst("Data\\Level1.TXT did not open"));
  }
  struct ksStr* line = __ksStrConcat(__ksStrConst("Data\\Level1.TXT: "), _freadline(file));
  _fclosefile(file);
  line = __ksStrConcat(line, __ksStrConst(" args=["));
  line = __ksStrConcat(__ksStrConcat(line, _fcommandline()), __ksStrConst("]"));
  _fruntimeerror(line);
}
