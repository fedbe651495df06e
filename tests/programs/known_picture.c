/* Draws a known picture on a 200 x 150 display of the mode its command line names (2
 * window, 3 scaled window), flips, logs "shown" and waits for the host to end it. The
 * colour of pixel (x, y) is red x, green y, blue (x * y) & 255. */
#include "kestrel.h"

void __MAIN(void) {
  int mode = __ksStrToInt(_fcommandline());
  _fgraphics(200, 150, 0, mode);
  _fsetbuffer(_fbackbuffer());
  _flockbuffer(0);
  for (int y = 0; y < 150; ++y) {
    for (int x = 0; x < 200; ++x) {
      _fwritepixelfast(x, y, (int)(0xFF000000u | (unsigned)(x << 16) | (unsigned)(y << 8) | (unsigned)((x * y) & 255)), 0);
    }
  }
  _funlockbuffer(0);
  _fflip(0);
  _fdebuglog(__ksStrConst("shown"));
  _fdelay(600000);
}
