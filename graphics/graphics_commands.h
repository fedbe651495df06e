// The graphics module's commands, in groups that each register through their own link
// function. Handlers take and return 32-bit words as compiled code passes them; buffers
// and fonts are handles (the objects' addresses).
#pragma once

#include <cstdint>

#include "runtime/command_registry.h"

struct ksStr;
class sysCanvas;

void display_commands_link(LinkCallback callback);
void buffer_commands_link(LinkCallback callback);
void console_commands_link(LinkCallback callback);
void font_commands_link(LinkCallback callback);
void image_commands_link(LinkCallback callback);
void collision_commands_link(LinkCallback callback);
void movie_commands_link(LinkCallback callback);

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
int32_t loadBuffer(int32_t buffer, ksStr* file);
int32_t saveBuffer(int32_t buffer, ksStr* file);
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

// An RGB colour from components by shifts and ORs, without clamping them.
uint32_t composeColour(int32_t red, int32_t green, int32_t blue);

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

// Images: making and freeing, drawing, masks and handles, transforms.
int32_t loadImage(ksStr* file);
int32_t copyImage(int32_t image);
int32_t createImage(int32_t width, int32_t height, int32_t frames = 1);
int32_t loadAnimImage(ksStr* file, int32_t cellWidth, int32_t cellHeight, int32_t first, int32_t count);
void freeImage(int32_t image);
int32_t saveImage(int32_t image, ksStr* file, int32_t frame = 0);
void grabImage(int32_t image, int32_t x, int32_t y, int32_t frame = 0);
int32_t imageBuffer(int32_t image, int32_t frame = 0);
void drawImage(int32_t image, int32_t x, int32_t y, int32_t frame = 0);
void drawBlock(int32_t image, int32_t x, int32_t y, int32_t frame = 0);
void tileImage(int32_t image, int32_t x = 0, int32_t y = 0, int32_t frame = 0);
void tileBlock(int32_t image, int32_t x = 0, int32_t y = 0, int32_t frame = 0);
void drawImageRect(int32_t image, int32_t x, int32_t y, int32_t rectX, int32_t rectY, int32_t rectWidth,
                   int32_t rectHeight, int32_t frame = 0);
void drawBlockRect(int32_t image, int32_t x, int32_t y, int32_t rectX, int32_t rectY, int32_t rectWidth,
                   int32_t rectHeight, int32_t frame = 0);
void maskImage(int32_t image, int32_t red, int32_t green, int32_t blue);
void handleImage(int32_t image, int32_t x, int32_t y);
void midHandle(int32_t image);
void autoMidHandle(int32_t enable);
int32_t imageWidth(int32_t image);
int32_t imageHeight(int32_t image);
int32_t imageXHandle(int32_t image);
int32_t imageYHandle(int32_t image);
void scaleImage(int32_t image, float xScale, float yScale);
void resizeImage(int32_t image, float width, float height);
void rotateImage(int32_t image, float angle);
void tFormImage(int32_t image, float a, float b, float c, float d);
void tFormFilter(int32_t enable);

// Overlaps and collisions.
int32_t imagesOverlap(int32_t image1, int32_t x1, int32_t y1, int32_t image2, int32_t x2, int32_t y2);
int32_t imagesCollide(int32_t image1, int32_t x1, int32_t y1, int32_t frame1, int32_t image2, int32_t x2,
                      int32_t y2, int32_t frame2);
int32_t rectsOverlap(int32_t x1, int32_t y1, int32_t width1, int32_t height1, int32_t x2, int32_t y2,
                     int32_t width2, int32_t height2);
int32_t imageRectOverlap(int32_t image, int32_t x, int32_t y, int32_t rectX, int32_t rectY, int32_t rectWidth,
                         int32_t rectHeight);
int32_t imageRectCollide(int32_t image, int32_t x, int32_t y, int32_t frame, int32_t rectX, int32_t rectY,
                         int32_t rectWidth, int32_t rectHeight);

// Movies.
int32_t openMovie(ksStr* file);
int32_t drawMovie(int32_t movie, int32_t x = 0, int32_t y = 0, int32_t w = -1, int32_t h = -1);
int32_t movieWidth(int32_t movie);
int32_t movieHeight(int32_t movie);
int32_t moviePlaying(int32_t movie);
void closeMovie(int32_t movie);

// The frame of an image argument, validated in debug mode ("Image does not exist", "Image
// frame out of range"). Outside it the image handle is trusted, and a frame number beyond
// the image's frames gives null: the command then does nothing (and answers 0).
sysCanvas* imageFrame(int32_t image, int32_t frame);

}  // namespace gfxcmd
