/* The demo: a 640 x 480 window with an animated scene drawn with primitives, sprites
 * loaded from bitmap files (birds flapping through the frames of a strip, a rock turning
 * through rotated copies, pixel-exact collisions between them), text in two fonts, and a
 * console log that scrolls, shown with Flip in a loop for about three seconds, with a
 * tracker song as music and a sound on every hit (examples/sound holds both). `make demo`
 * runs it from the top of the repository (and, without a screen, writes what it showed to
 * a PNG). examples/demo/make-sprites.py draws the sprite files. */
#include "kestrel_runtime.h"

#define WIDTH 640
#define HEIGHT 480
#define SCENE_HEIGHT 400
#define BIRDS 3
#define ROCK_TURNS 12

static struct ksStr* text(const char* literal) {
  return __ksStrConst(literal);
}

/* A sky from deep blue to orange, one line per row. */
static void drawSky(void) {
  for (int y = 0; y < SCENE_HEIGHT; y += 2) {
    int t = y * 255 / SCENE_HEIGHT;
    _fcolor(20 + t * 3 / 4, 30 + t / 3, 90 - t / 4);
    _frect(0, y, WIDTH, 2, 1);
  }
}

static void drawSun(int frame) {
  int y = 260 - (frame % 240) / 4;
  _fcolor(255, 220, 120);
  _foval(420, y, 90, 90, 1);
  _fcolor(255, 240, 200);
  _foval(440, y + 20, 50, 50, 1);
}

static void drawHills(void) {
  _fcolor(30, 60, 40);
  for (int x = 0; x < WIDTH; ++x) {
    int phase = (x * 3) % 240;
    int rise = phase < 120 ? phase : 240 - phase;
    _fline(x, SCENE_HEIGHT - 40 - rise / 2, x, SCENE_HEIGHT - 1);
  }
}

/* A perspective grid on the ground and a ball bouncing over it. */
static void drawGround(int frame) {
  _fcolor(10, 20, 16);
  _frect(0, SCENE_HEIGHT - 40, WIDTH, 40, 1);
  _fcolor(90, 200, 120);
  for (int i = -8; i <= 8; ++i) {
    _fline(WIDTH / 2 + i * 10, SCENE_HEIGHT - 40, WIDTH / 2 + i * 60, SCENE_HEIGHT - 1);
  }
  for (int row = 0; row < 4; ++row) {
    int y = SCENE_HEIGHT - 40 + row * row * 3 + ((frame / 2) % 4) * (row + 1);
    if (y < SCENE_HEIGHT) {
      _fline(0, y, WIDTH - 1, y);
    }
  }
  int bounce = frame % 60;
  int height = bounce < 30 ? bounce : 60 - bounce;
  int x = 40 + (frame * 3) % (WIDTH - 80);
  _fcolor(240, 80, 80);
  _foval(x, SCENE_HEIGHT - 60 - height * 3, 24, 24, 1);
  _fcolor(255, 255, 255);
  _foval(x, SCENE_HEIGHT - 60 - height * 3, 24, 24, 0);
}

static void drawTitles(int titleFont, int smallFont, int frame, int fps) {
  _fsetfont(titleFont);
  _fcolor(0, 0, 0);
  _ftext(WIDTH / 2 + 3, 60 + 3, text("Kestrel Basic"), 1, 1);
  _fcolor(255, 255, 255);
  _ftext(WIDTH / 2, 60, text("Kestrel Basic"), 1, 1);
  _fsetfont(smallFont);
  _fcolor(255, 240, 160);
  _ftext(WIDTH / 2, 100, text("primitives, sprites, fonts and a console, flipped every frame"), 1, 0);
  _fcolor(200, 255, 200);
  /* 16 pixels lower than they show: the console scrolls the picture up by a line. */
  _ftext(8, 24, __ksStrConcat(text("frame "), __ksStrFromInt(frame)), 0, 0);
  _ftext(WIDTH - 8 - _fstringwidth(text("000 fps")), 24,
         __ksStrConcat(__ksStrFromInt(fps), text(" fps")), 0, 0);
}

/* The rock in ROCK_TURNS rotated copies, made once: rotating each frame would blur it. */
static int rockTurns[ROCK_TURNS];

static int loadSprites(int* birds) {
  _fautomidhandle(1);
  *birds = _floadanimimage(text("examples\\demo\\birds.bmp"), 32, 32, 0, 4);
  int rock = _floadimage(text("examples\\demo\\rock.bmp"));
  if (*birds == 0 || rock == 0) {
    _fdebuglog(text("The sprite files were not found: run the demo from the top of the repository."));
    return 0;
  }
  _fscaleimage(*birds, 2.0f, 2.0f);
  _fscaleimage(rock, 2.0f, 2.0f);
  for (int i = 0; i < ROCK_TURNS; ++i) {
    rockTurns[i] = _fcopyimage(rock);
    _frotateimage(rockTurns[i], (float)(i * 360 / ROCK_TURNS));
  }
  return 1;
}

/* Birds fly right to left across the rock's path; a pixel-exact hit turns a bird red. */
static int drawSprites(int birds, int frame, int hitSound) {
  int rock = rockTurns[(frame / 2) % ROCK_TURNS];
  int rockX = 80 + (frame * 4) % (WIDTH - 160);
  int rockY = 220;
  _fdrawimage(rock, rockX, rockY, 0);
  int hits = 0;
  for (int i = 0; i < BIRDS; ++i) {
    int x = WIDTH + 40 - ((frame * (5 + i) + i * 211) % (WIDTH + 80));
    int wave = (frame * 6 + i * 90) % 360;
    int y = 150 + i * 60 + (int)(12.0f * _fsin((float)wave));
    int wing = (frame / 3 + i) % 4;
    _fdrawimage(birds, x, y, wing);
    if (_fimagescollide(birds, x, y, wing, rock, rockX, rockY, 0)) {
      ++hits;
      if (hitSound) {
        _fplaysound(hitSound);
      }
      _fcolor(255, 40, 40);
      _foval(x - 20, y - 20, 40, 40, 0);
    }
  }
  return hits;
}

void __MAIN(void) {
  _fapptitle(text("Kestrel demo"), text(""));
  _fgraphics(WIDTH, HEIGHT, 32, 2);
  int titleFont = _floadfont(text("sans"), 44, 1, 0, 0);
  int smallFont = _floadfont(text("courier"), 16, 0, 0, 0);
  int birds = 0;
  int sprites = loadSprites(&birds);
  int hits = 0;
  int hitSound = _floadsound(text("examples\\sound\\hit.wav"));
  int music = _fplaymusic(text("examples/sound/tune.mod"));
  if (hitSound == 0 || music == 0) {
    _fdebuglog(text("The sound files were not found: run the demo from the top of the repository."));
  }

  /* The console panel below the scene: Print scrolls the whole front buffer when it
   * reaches the bottom, so each frame starts the log a few lines up. */
  _fclscolor(0, 0, 0);
  int start = _fmillisecs();
  int frame = 0;
  int fps = 0;
  int second = start;
  int framesThisSecond = 0;
  while (_fmillisecs() - start < 3000 || frame < 20) {
    _fsetbuffer(_fbackbuffer());
    _fcls();
    drawSky();
    drawSun(frame);
    drawHills();
    drawGround(frame);
    if (sprites) {
      hits += drawSprites(birds, frame, hitSound);
    }
    drawTitles(titleFont, smallFont, frame, fps);
    _flocate(0, HEIGHT - 5 * 16);
    for (int line = frame > 4 ? frame - 4 : 0; line <= frame; ++line) {
      _fprint(__ksStrConcat(__ksStrConcat(text("> log line "), __ksStrFromInt(line)),
                            text(": the console scrolls as it prints")));
    }
    _fprint(__ksStrConcat(__ksStrConcat(text("> pixel-exact hits so far: "), __ksStrFromInt(hits)),
                          text(" (a red ring marks each)")));
    _fflip(0);
    ++frame;
    ++framesThisSecond;
    if (_fmillisecs() - second >= 1000) {
      fps = framesThisSecond;
      framesThisSecond = 0;
      second = _fmillisecs();
    }
    _fdelay(10);
  }
  if (music) {
    _fstopchannel(music);
  }
  _fdebuglog(__ksStrConcat(text("Frames shown: "), __ksStrFromInt(frame)));
  _fdebuglog(__ksStrConcat(text("Pixel-exact hits: "), __ksStrFromInt(hits)));
}
