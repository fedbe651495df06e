/* The movie example: plays a clip made by make-movie.sh (the build's clip when the
 * command line names none), stretched to fill a 640 x 480 window, with a caption over
 * it, one flip per frame: the movie paces the loop. */
#include "kestrel_runtime.h"

static void logValue(const char* label, int value) {
  _fdebuglog(__ksStrConcat(__ksStrConst(label), __ksStrFromInt(value)));
}

static struct ksStr* file;

void __MAIN(void) {
  __ksStrStore(&file, _ftrim(_fcommandline()));
  if (_flen(__ksStrLoad(&file)) == 0) {
    __ksStrStore(&file, __ksStrConst("build/examples/movie/clip.mp4"));
  }
  _fgraphics(640, 480, 0, 2);
  _fsetbuffer(_fbackbuffer());
  int movie = _fopenmovie(__ksStrLoad(&file));
  __ksStrStore(&file, 0);
  if (movie == 0) {
    _fdebuglog(__ksStrConst("The movie could not be opened"));
    return;
  }
  logValue("Movie width: ", _fmoviewidth(movie));
  logValue("Movie height: ", _fmovieheight(movie));
  logValue("Playing before the first draw: ", _fmovieplaying(movie));
  int frames = 0;
  while (_fdrawmovie(movie, 0, 0, 640, 480)) {
    _fcolor(255, 255, 255);
    _ftext(320, 460, __ksStrConst("Kestrel plays a movie"), 1, 1);
    _fflip(0);
    frames++;
  }
  _fdebuglog(__ksStrConcat(__ksStrConst("Frames drawn: "), __ksStrConst(frames > 0 ? "some" : "none")));
  logValue("Playing after the end: ", _fmovieplaying(movie));
  _fclosemovie(movie);
}
