// The shared library's exported entries; everything else stays hidden.
#include "runtime/runtime_interface.h"
#include "runtime/runtime_singleton.h"
#include "platform/display.h"

extern "C" __attribute__((visibility("default"))) Runtime* runtimeGetRuntime() {
  return &theRuntime();
}

extern "C" __attribute__((visibility("default"))) void ksWinMain() {
  runStandalone();
}

// For tools (ksrun --screenshot): keep every picture presented to the window, and write
// the last one as a PNG file after the run. 1 when it was written.
extern "C" __attribute__((visibility("default"))) void ksCapturePresentedPictures(int on) {
  capturePresentedPictures(on != 0);
}

extern "C" __attribute__((visibility("default"))) int ksWriteLastPicture(const char* path) {
  const PresentedPicture picture = lastPresentedPicture();
  return picture.width > 0 && path && writePicturePng(path, picture) ? 1 : 0;
}
