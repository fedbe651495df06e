// Images: the language's sprites, each an ordered list of frames that are canvases of the
// open display, and the graphics module's set of live images, swept when a display closes.
#pragma once

#include <cstddef>
#include <vector>

class sysCanvas;

// One loaded or created image; its address is the handle the program holds. The image owns
// its frames and releases them through the display.
struct Image {
    std::vector<sysCanvas*> frames;
};

// Makes an image of frames already made on the display and adds it to the live set.
Image* registerImage(std::vector<sysCanvas*> frames);
bool isLiveImage(const Image* image);
size_t liveImageCount();

// Frees a live image: the front buffer becomes current if one of its frames was, and every
// frame is released. Anything else, 0 included, is ignored.
void freeImage(Image* image);
// Frees every live image (a display about to close, module creation and destruction).
void freeAllImages();

// Makes the front buffer current when one of the image's frames is the current buffer.
void leaveImageBuffers(const Image& image);
// Releases canvases made on the display for an image that is not going to be made.
void releaseFrames(const std::vector<sysCanvas*>& frames);
