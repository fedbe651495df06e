/* Star Patrol: a small game for the keyboard, the mouse and a game pad. Fly the ship along
 * the bottom of the screen, shoot the rocks that fall towards it and keep them off it.
 *
 *   move:          arrow keys or W A S D, the mouse, or the game pad's stick
 *   fire:          Space or Ctrl, the left mouse button, or game pad button 1
 *   switch weapon: Tab, the mouse wheel or right button, or game pad button 2
 *   pause:         P (any key goes on)
 *   quit:          Escape
 *
 * After the last ship is lost, the game asks for a name with Input and offers another
 * round. When it ends it logs the round's figures (DebugLog). The ship and the stars are
 * drawn with primitives, the rocks are the demo's rock sprite turning through rotated
 * copies; shots and hits sound, over the sound example's tracker song. Run it from the top
 * of the repository, where those files are. */
#include "kestrel_runtime.h"

#define WIDTH 640
#define HEIGHT 480
#define MAX_SHOTS 24
#define MAX_ROCKS 10
#define MAX_STARS 70
#define SHIP_HALF_WIDTH 16
#define SHIP_HEIGHT 28
#define SHIP_SPEED 6
#define SHOT_SPEED 12
#define FIRE_DELAY 8 /* frames between shots while fire is held */

enum Key {
  KEY_ESCAPE = 1, KEY_TAB = 15, KEY_W = 17, KEY_P = 25, KEY_CTRL = 29, KEY_A = 30, KEY_S = 31,
  KEY_D = 32, KEY_SPACE = 57, KEY_RIGHT_CTRL = 157, KEY_UP = 200, KEY_LEFT = 203, KEY_RIGHT = 205,
  KEY_DOWN = 208
};

enum Outcome { ROUND_LOST, ROUND_QUIT };

struct Shot {
  int alive, x, y, dx;
};

struct Rock {
  int alive, x, y, speed, size, drift;
};

struct Star {
  int x, y, speed;
};

static struct Shot shots[MAX_SHOTS];
static struct Rock rocks[MAX_ROCKS];
static struct Star stars[MAX_STARS];

static int shipX, shipY, startX;
static int lives, score, shotsFired, rocksShot, frame, fireDelay, shield, spread;
static int hasPad;
/* Sprites and sounds of the other examples, loaded from the top of the repository; the
 * game draws rocks with primitives and stays silent when they are not there. */
#define ROCK_TURNS 12
static int smallRocks[ROCK_TURNS], bigRocks[ROCK_TURNS];
static int haveRockSprites;
static int shotSound, hitSound;
static int bigFont, smallFont;
static struct ksStr* pilot;

static struct ksStr* text(const char* literal) {
  return __ksStrConst(literal);
}

static struct ksStr* join(const char* label, int value) {
  return __ksStrConcat(text(label), __ksStrFromInt(value));
}

static int clamp(int value, int low, int high) {
  return value < low ? low : (value > high ? high : value);
}

static void resetRound(void) {
  for (int i = 0; i < MAX_SHOTS; ++i) {
    shots[i].alive = 0;
  }
  for (int i = 0; i < MAX_ROCKS; ++i) {
    rocks[i].alive = 0;
  }
  for (int i = 0; i < MAX_STARS; ++i) {
    stars[i].x = _frand(0, WIDTH - 1);
    stars[i].y = _frand(0, HEIGHT - 1);
    stars[i].speed = _frand(1, 3);
  }
  shipX = startX = WIDTH / 2;
  shipY = HEIGHT - 70;
  lives = 3;
  score = 0;
  shotsFired = 0;
  rocksShot = 0;
  frame = 0;
  fireDelay = 0;
  shield = 90;
  spread = 0;
  _fflushkeys();
  _fflushmouse();
  _fflushjoy();
  _fmovemouse(shipX, shipY);
  _fmousexspeed();
  _fmouseyspeed();
  _fmousezspeed();
}

/* ---- controls ---------------------------------------------------------------------- */

static void steer(void) {
  int dx = 0;
  int dy = 0;
  if (_fkeydown(KEY_LEFT) || _fkeydown(KEY_A)) {
    dx -= SHIP_SPEED;
  }
  if (_fkeydown(KEY_RIGHT) || _fkeydown(KEY_D)) {
    dx += SHIP_SPEED;
  }
  if (_fkeydown(KEY_UP) || _fkeydown(KEY_W)) {
    dy -= SHIP_SPEED;
  }
  if (_fkeydown(KEY_DOWN) || _fkeydown(KEY_S)) {
    dy += SHIP_SPEED;
  }
  if (hasPad) {
    /* The stick is analogue: a small dead zone, then speed in proportion. */
    float x = _fjoyx(0);
    float y = _fjoyy(0);
    if (x < -0.15f || x > 0.15f) {
      dx += (int)(x * SHIP_SPEED);
    }
    if (y < -0.15f || y > 0.15f) {
      dy += (int)(y * SHIP_SPEED);
    }
  }
  shipX += dx;
  shipY += dy;
  /* A mouse that moved takes the ship to the pointer. */
  int mx = _fmousexspeed();
  int my = _fmouseyspeed();
  if (mx != 0 || my != 0) {
    shipX = _fmousex();
    shipY = _fmousey();
  }
  shipX = clamp(shipX, SHIP_HALF_WIDTH, WIDTH - SHIP_HALF_WIDTH - 1);
  shipY = clamp(shipY, HEIGHT / 2, HEIGHT - SHIP_HEIGHT - 30);
  if (mx != 0 || my != 0) {
    _fmovemouse(shipX, shipY); /* keeps pointer and ship together at the edges */
  }
}

static void switchWeapon(void) {
  int switches = _fkeyhit(KEY_TAB) + _fmousehit(2);
  if (_fmousezspeed() != 0) {
    ++switches;
  }
  if (hasPad) {
    switches += _fjoyhit(2, 0);
  }
  if (switches % 2) {
    spread = !spread;
  }
}

static void addShot(int x, int dx) {
  for (int i = 0; i < MAX_SHOTS; ++i) {
    if (!shots[i].alive) {
      shots[i].alive = 1;
      shots[i].x = x;
      shots[i].y = shipY - 4;
      shots[i].dx = dx;
      return;
    }
  }
}

static void fire(void) {
  /* A press always fires at once; holding fire repeats every FIRE_DELAY frames. */
  int pressed = _fkeyhit(KEY_SPACE) + _fkeyhit(KEY_CTRL) + _fkeyhit(KEY_RIGHT_CTRL) + _fmousehit(1);
  int held = _fkeydown(KEY_SPACE) || _fkeydown(KEY_CTRL) || _fkeydown(KEY_RIGHT_CTRL) || _fmousedown(1);
  if (hasPad) {
    pressed += _fjoyhit(1, 0);
    held = held || _fjoydown(1, 0);
  }
  if (fireDelay > 0) {
    --fireDelay;
  }
  if (pressed == 0 && !(held && fireDelay == 0)) {
    return;
  }
  fireDelay = FIRE_DELAY;
  ++shotsFired;
  if (shotSound) {
    _fplaysound(shotSound);
  }
  addShot(shipX, 0);
  if (spread) {
    addShot(shipX - 8, -3);
    addShot(shipX + 8, 3);
  }
}

/* ---- the world --------------------------------------------------------------------- */

static void spawnRock(void) {
  /* More rocks, and faster, as the score grows. */
  int wanted = 3 + score / 200;
  int alive = 0;
  for (int i = 0; i < MAX_ROCKS; ++i) {
    alive += rocks[i].alive;
  }
  if (alive >= wanted || _frand(0, 30) != 0) {
    return;
  }
  for (int i = 0; i < MAX_ROCKS; ++i) {
    if (!rocks[i].alive) {
      rocks[i].alive = 1;
      rocks[i].size = _frand(14, 34);
      rocks[i].x = _frand(rocks[i].size, WIDTH - rocks[i].size);
      rocks[i].y = -rocks[i].size;
      rocks[i].speed = _frand(2, 3 + score / 300);
      rocks[i].drift = _frand(-1, 1);
      return;
    }
  }
}

static int hits(const struct Rock* rock, int x, int y, int reach) {
  int dx = rock->x - x;
  int dy = rock->y - y;
  int r = rock->size / 2 + reach;
  return dx * dx + dy * dy < r * r;
}

static void moveWorld(void) {
  for (int i = 0; i < MAX_STARS; ++i) {
    stars[i].y += stars[i].speed;
    if (stars[i].y >= HEIGHT) {
      stars[i].y = 0;
      stars[i].x = _frand(0, WIDTH - 1);
    }
  }
  for (int i = 0; i < MAX_SHOTS; ++i) {
    if (shots[i].alive) {
      shots[i].y -= SHOT_SPEED;
      shots[i].x += shots[i].dx;
      if (shots[i].y < -10 || shots[i].x < 0 || shots[i].x >= WIDTH) {
        shots[i].alive = 0;
      }
    }
  }
  for (int i = 0; i < MAX_ROCKS; ++i) {
    struct Rock* rock = &rocks[i];
    if (!rock->alive) {
      continue;
    }
    rock->y += rock->speed;
    rock->x += rock->drift;
    if (rock->y - rock->size > HEIGHT) {
      rock->alive = 0;
      continue;
    }
    for (int s = 0; s < MAX_SHOTS; ++s) {
      if (shots[s].alive && hits(rock, shots[s].x, shots[s].y, 2)) {
        shots[s].alive = 0;
        rock->alive = 0;
        score += 50 - rock->size;
        ++rocksShot;
        if (hitSound) {
          _fplaysound(hitSound);
        }
        break;
      }
    }
    if (rock->alive && shield == 0 && hits(rock, shipX, shipY + SHIP_HEIGHT / 2, SHIP_HALF_WIDTH - 4)) {
      rock->alive = 0;
      --lives;
      shield = 90;
      if (hitSound) {
        _fplaysound(hitSound);
      }
    }
  }
  if (shield > 0) {
    --shield;
  }
}

/* ---- drawing ----------------------------------------------------------------------- */

static void drawShip(void) {
  /* Blinks while the shield is up after a hit or at the start. */
  if (shield > 0 && (frame / 4) % 2) {
    return;
  }
  int x = shipX;
  int y = shipY;
  int h = SHIP_HEIGHT;
  _fcolor(255, 140 + (frame * 37) % 100, 40); /* engine flame */
  _foval(x - 5, y + h - 2, 10, 8 + frame % 5, 1);
  _fcolor(120, 130, 160); /* wings */
  for (int i = 0; i < 10; ++i) {
    _fline(x - SHIP_HALF_WIDTH + i, y + h - i / 2, x, y + h / 3);
    _fline(x + SHIP_HALF_WIDTH - i, y + h - i / 2, x, y + h / 3);
  }
  _fcolor(210, 220, 240); /* hull */
  for (int i = 0; i <= 5; ++i) {
    _fline(x - i, y + h, x, y);
    _fline(x + i, y + h, x, y);
  }
  _fcolor(60, 180, 255); /* cockpit */
  _foval(x - 3, y + h / 3, 6, 9, 1);
  if (spread) {
    _fcolor(255, 220, 80);
    _frect(x - SHIP_HALF_WIDTH, y + h - 2, 3, 3, 1);
    _frect(x + SHIP_HALF_WIDTH - 3, y + h - 2, 3, 3, 1);
  }
}

static void drawWorld(void) {
  for (int i = 0; i < MAX_STARS; ++i) {
    int shade = 70 + stars[i].speed * 60;
    _fcolor(shade, shade, shade);
    _fplot(stars[i].x, stars[i].y);
  }
  _fcolor(255, 255, 160);
  for (int i = 0; i < MAX_SHOTS; ++i) {
    if (shots[i].alive) {
      _frect(shots[i].x - 1, shots[i].y - 6, 3, 8, 1);
    }
  }
  for (int i = 0; i < MAX_ROCKS; ++i) {
    if (rocks[i].alive && haveRockSprites) {
      int* turns = rocks[i].size < 24 ? smallRocks : bigRocks;
      _fdrawimage(turns[(frame / 3 + i * 5) % ROCK_TURNS], rocks[i].x, rocks[i].y, 0);
    } else if (rocks[i].alive) {
      int s = rocks[i].size;
      _fcolor(120, 95, 70);
      _foval(rocks[i].x - s / 2, rocks[i].y - s / 2, s, s, 1);
      _fcolor(170, 140, 110);
      _foval(rocks[i].x - s / 2, rocks[i].y - s / 2, s, s, 0);
      _fcolor(85, 65, 50);
      _foval(rocks[i].x - s / 5, rocks[i].y - s / 6, s / 3, s / 4, 1);
    }
  }
  drawShip();
}

static void drawHud(void) {
  _fsetfont(smallFont);
  _fcolor(255, 255, 255);
  _ftext(8, 6, join("Score ", score), 0, 0);
  _ftext(WIDTH / 2, 6, spread ? text("Spread shot") : text("Single shot"), 1, 0);
  _ftext(WIDTH - 110, 6, join("Ships ", lives), 0, 0);
  _fcolor(140, 150, 170);
  _ftext(WIDTH / 2, HEIGHT - 18,
         hasPad ? text("Arrows, mouse or game pad to fly - fire: Space, click, button 1 - Esc quits")
                : text("Arrows or mouse to fly - fire: Space or click - Tab/wheel: weapon - Esc quits"),
         1, 0);
}

static void drawCentred(int font, int y, struct ksStr* line) {
  _fsetfont(font);
  _ftext(WIDTH / 2, y, line, 1, 1);
}

/* ---- rounds ------------------------------------------------------------------------ */

static int pauseGame(void) {
  _fsetbuffer(_ffrontbuffer());
  _fcolor(255, 255, 255);
  drawCentred(bigFont, HEIGHT / 2, text("Paused"));
  drawCentred(smallFont, HEIGHT / 2 + 40, text("Press a key to go on, Escape to quit"));
  int key = _fwaitkey();
  _fsetbuffer(_fbackbuffer());
  _fflushkeys();
  return key == 27;
}

static enum Outcome playRound(void) {
  int timer = _fcreatetimer(60);
  resetRound();
  _fsetbuffer(_fbackbuffer());
  while (lives > 0) {
    if (_fkeyhit(KEY_ESCAPE)) {
      _ffreetimer(timer);
      return ROUND_QUIT;
    }
    if (_fkeyhit(KEY_P) && pauseGame()) {
      _ffreetimer(timer);
      return ROUND_QUIT;
    }
    steer();
    switchWeapon();
    fire();
    spawnRock();
    moveWorld();
    _fcls();
    drawWorld();
    drawHud();
    _fwaittimer(timer);
    _fflip(0);
    ++frame;
  }
  _ffreetimer(timer);
  return ROUND_LOST;
}

static void logRound(const char* how) {
  struct ksStr* line = __ksStrConcat(text(how), join(": score ", score));
  line = __ksStrConcat(line, join(", shots fired ", shotsFired));
  line = __ksStrConcat(line, join(", rocks shot ", rocksShot));
  line = __ksStrConcat(line, join(", ship moved ", shipX - startX));
  _fdebuglog(line);
}

/* The console on the front buffer: the score, a name for it with Input, and the choice
 * of another round. Returns 1 to play again. */
static int gameOver(void) {
  _fsetbuffer(_ffrontbuffer());
  _fclscolor(10, 10, 30);
  _fcls();
  _fcolor(255, 90, 70);
  drawCentred(bigFont, 120, text("Game over"));
  _fcolor(255, 255, 255);
  drawCentred(smallFont, 170, join("Score ", score));
  _fsetfont(smallFont);
  _flocate(WIDTH / 2 - 150, 220);
  __ksStrStore(&pilot, _finput(text("Your name, pilot: ")));
  if (_flen(__ksStrLoad(&pilot)) == 0) {
    __ksStrStore(&pilot, text("Unknown pilot"));
  }
  _fcolor(120, 220, 255);
  drawCentred(smallFont, 270, __ksStrConcat(text("Well flown, "), __ksStrLoad(&pilot)));
  _fcolor(255, 255, 255);
  drawCentred(smallFont, 310, text("Enter: another round    Escape: quit"));
  _fclscolor(0, 0, 0);
  for (;;) {
    int key = _fwaitkey();
    if (key == 13) {
      return 1;
    }
    if (key == 27) {
      return 0;
    }
  }
}

/* A rock turned through ROCK_TURNS copies at one scale, made once. */
static void makeRockTurns(int rock, float scale, int* turns) {
  for (int i = 0; i < ROCK_TURNS; ++i) {
    turns[i] = _fcopyimage(rock);
    _fscaleimage(turns[i], scale, scale);
    _frotateimage(turns[i], (float)(i * 360 / ROCK_TURNS));
  }
}

static void loadSpritesAndSounds(void) {
  _fautomidhandle(1);
  int rock = _floadimage(text("examples\\demo\\rock.bmp"));
  if (rock) {
    makeRockTurns(rock, 0.5f, smallRocks);
    makeRockTurns(rock, 0.85f, bigRocks);
    _ffreeimage(rock);
    haveRockSprites = 1;
  }
  shotSound = _floadsound(text("examples\\sound\\blip.wav"));
  hitSound = _floadsound(text("examples\\sound\\hit.wav"));
  if (!rock || !shotSound || !hitSound || !_fplaymusic(text("examples/sound/tune.mod"))) {
    _fdebuglog(text("Star Patrol: sprite or sound files not found (run it from the top of the repository)"));
  }
}

void __MAIN(void) {
  _fgraphics(WIDTH, HEIGHT, 32, 2);
  _fapptitle(text("Star Patrol"), text(""));
  _fseedrnd(_fmillisecs());
  bigFont = _floadfont(text("sans"), 40, 1, 0, 0);
  smallFont = _floadfont(text("sans"), 15, 0, 0, 0);
  loadSpritesAndSounds();
  hasPad = _fjoytype(0) != 0;
  _fdebuglog(hasPad ? text("Star Patrol: game pad found on port 0") : text("Star Patrol: no game pad"));
  for (;;) {
    if (playRound() == ROUND_QUIT) {
      logRound("Quit");
      break;
    }
    logRound("Lost");
    if (!gameOver()) {
      break;
    }
  }
  __ksStrStore(&pilot, 0);
}
