// The graphics module's commands, in groups that each register through their own link
// function. Handlers take and return 32-bit words as compiled code passes them; buffers
// and fonts are handles (the objects' addresses).
#pragma once

#include <cstdint>

#include "runtime/command_registry.h"

struct ksStr;

void display_commands_link(LinkCallback callback);
void buffer_commands_link(LinkCallback callback);
void console_commands_link(LinkCallback callback);
void font_commands_link(LinkCallback callback);

namespace gfxcmd {

// Drivers, modes and the display.
int32_t countGfxDrivers();
ksStr* gfxDriverName(int32_t driver);
void setGfxDriver(int32_t driver);
int32_t countGfxModes();
int32_t gfxModeExists(int32_t width, int32_t height, int32_t depth);
int32_t gfxModeWidth(int32_t mode);
int32_t gfxModeHeight(int32_t mode);
int32_t gfxModeDepth(int32_t mode);
int32_t availVidMem();
int32_t totalVidMem();
void graphics(int32_t width, int32_t height, int32_t depth = 0, int32_t mode = 0);
void endGraphics();
int32_t frontBuffer();
int32_t backBuffer();
int32_t scanLine();
void vWait(int32_t frames = 1);
void flip(int32_t vwait = 1);
int32_t graphicsWidth();
int32_t graphicsHeight();
int32_t graphicsDepth();

// Buffers, pixels, colours and drawing.
void setBuffer(int32_t buffer);
int32_t graphicsBuffer();
void lockBuffer(int32_t buffer = 0);
void unlockBuffer(int32_t buffer = 0);
int32_t readPixel(int32_t x, int32_t y, int32_t buffer = 0);
void writePixel(int32_t x, int32_t y, int32_t argb, int32_t buffer = 0);
int32_t readPixelFast(int32_t x, int32_t y, int32_t buffer = 0);
void writePixelFast(int32_t x, int32_t y, int32_t argb, int32_t buffer = 0);
void copyPixel(int32_t srcX, int32_t srcY, int32_t srcBuffer, int32_t destX, int32_t destY, int32_t destBuffer = 0);
void copyPixelFast(int32_t srcX, int32_t srcY, int32_t srcBuffer, int32_t destX, int32_t destY,
                   int32_t destBuffer = 0);
void origin(int32_t x, int32_t y);
void viewport(int32_t x, int32_t y, int32_t width, int32_t height);
void color(int32_t red, int32_t green, int32_t blue);
void getColor(int32_t x, int32_t y);
int32_t colorRed();
int32_t colorGreen();
int32_t colorBlue();
void clsColor(int32_t red, int32_t green, int32_t blue);
void setFont(int32_t font);
void cls();
void plot(int32_t x, int32_t y);
void rect(int32_t x, int32_t y, int32_t width, int32_t height, int32_t solid = 1);
void oval(int32_t x, int32_t y, int32_t width, int32_t height, int32_t solid = 1);
void line(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void text(int32_t x, int32_t y, ksStr* string, int32_t centreX = 0, int32_t centreY = 0);
void copyRect(int32_t sourceX, int32_t sourceY, int32_t width, int32_t height, int32_t destX, int32_t destY,
              int32_t srcBuffer = 0, int32_t destBuffer = 0);
void showPointer();
void hidePointer();

// The text console.
void writeText(ksStr* string);
void printLine(ksStr* string);
ksStr* inputLine(ksStr* prompt);
void locate(int32_t x, int32_t y);

// Fonts.
int32_t loadFont(ksStr* name, int32_t height = 12, int32_t bold = 0, int32_t italic = 0, int32_t underline = 0);
void freeFont(int32_t font);
int32_t fontWidth();
int32_t fontHeight();
int32_t stringWidth(ksStr* string);
int32_t stringHeight(ksStr* string);

}  // namespace gfxcmd
