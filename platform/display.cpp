// PlatformDisplay on SDL: the window's frame and place, full-screen, an SDL_Renderer with
// one streaming texture, and presenting.
#include "platform/display.h"

#include <SDL.h>

#include <cstring>

#include "platform/window.h"

namespace {

SDL_Window* sdlWindow(PlatformWindow& window) {
  return static_cast<SDL_Window*>(window.nativeHandle());
}

// The texture format holding a surface format's pixels as they are in memory; 0 when the
// surface format is not one the runtime uses.
Uint32 textureFormatOf(const SurfaceFormat& format) {
  if (format == SurfaceFormat::xrgb8888()) {
    return SDL_PIXELFORMAT_RGB888;  // X8R8G8B8
  }
  if (format == SurfaceFormat::rgb888()) {
    return SDL_PIXELFORMAT_BGR24;  // bytes B, G, R
  }
  if (format == SurfaceFormat::rgb565()) {
    return SDL_PIXELFORMAT_RGB565;
  }
  if (format == SurfaceFormat::rgb555()) {
    return SDL_PIXELFORMAT_RGB555;
  }
  return 0;
}

bool formatForDepth(int depth, SurfaceFormat& format) {
  switch (depth) {
    case 16: format = SurfaceFormat::rgb565(); return true;
    case 24: format = SurfaceFormat::rgb888(); return true;
    case 32: format = SurfaceFormat::xrgb8888(); return true;
    default: return false;
  }
}

// Places the client area in the middle of display 0, the frame's top edge not above the
// screen's.
void centreOnPrimary(PlatformWindow& window) {
  SDL_Rect screen{};
  if (SDL_GetDisplayBounds(0, &screen) != 0) {
    return;
  }
  int width = 0;
  int height = 0;
  window.clientSize(width, height);
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  window.frameSize(left, top, right, bottom);
  const int x = screen.x + (screen.w - width) / 2;
  int y = screen.y + (screen.h - height) / 2;
  if (y - top < screen.y) {
    y = screen.y + top;
  }
  window.move(x, y);
}

// The first mode the display reports at exactly this size (SDL lists the deepest and
// fastest first).
bool reportedMode(int display, int width, int height, SDL_DisplayMode& found) {
  const int count = SDL_GetNumDisplayModes(display);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode mode{};
    if (SDL_GetDisplayMode(display, i, &mode) == 0 && mode.w == width && mode.h == height) {
      found = mode;
      return true;
    }
  }
  return false;
}

int refreshRateOf(int display) {
  SDL_DisplayMode mode{};
  if (SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0) {
    return mode.refresh_rate;
  }
  return 60;
}

// The largest rectangle of the picture's aspect that fits the output, centred.
SDL_Rect fitted(int width, int height, int outputWidth, int outputHeight) {
  SDL_Rect r{0, 0, outputWidth, outputHeight};
  if (int64_t(outputWidth) * height <= int64_t(outputHeight) * width) {
    r.h = int(int64_t(height) * outputWidth / width);
    r.y = (outputHeight - r.h) / 2;
  } else {
    r.w = int(int64_t(width) * outputHeight / height);
    r.x = (outputWidth - r.w) / 2;
  }
  return r;
}

}  // namespace

PlatformDisplay::PlatformDisplay(PlatformWindow& window, int width, int height, const SurfaceFormat& format)
    : window_(window), width_(width), height_(height), format_(format) {
  window.position(saved_.x, saved_.y);
  window.clientSize(saved_.width, saved_.height);
  saved_.visible = window.visible();
  saved_.resizable = window.resizable();
  saved_.bordered = window.bordered();
}

std::unique_ptr<PlatformDisplay> PlatformDisplay::openWindow(PlatformWindow& window, int width, int height,
                                                             bool scaled, const SurfaceFormat& format) {
  if (width <= 0 || height <= 0 || textureFormatOf(format) == 0 || !window.nativeHandle()) {
    return nullptr;
  }
  std::unique_ptr<PlatformDisplay> display(new PlatformDisplay(window, width, height, format));
  display->scaled_ = scaled;
  window.setBordered(true);
  window.setResizable(scaled);
  // A scaled window keeps the size the user gave it; one never shown has none yet.
  if (!scaled || !display->saved_.visible) {
    window.resize(width, height);
  }
  if (!display->createRenderer()) {
    display->abandon();
    return nullptr;
  }
  centreOnPrimary(window);
  window.show();
  // The frame is known once the window system has framed the shown window.
  centreOnPrimary(window);
  display->refreshRate_ = refreshRateOf(window.displayIndex());
  return display;
}

std::unique_ptr<PlatformDisplay> PlatformDisplay::openFullScreen(PlatformWindow& window, int driver, int width,
                                                                 int height, int depth) {
  SurfaceFormat format;
  if (width <= 0 || height <= 0 || !formatForDepth(depth, format) || driver < 0 ||
      driver >= SDL_GetNumVideoDisplays() || !window.nativeHandle()) {
    return nullptr;
  }
  std::unique_ptr<PlatformDisplay> display(new PlatformDisplay(window, width, height, format));
  display->fullScreen_ = true;
  SDL_Window* const w = sdlWindow(window);
  SDL_SetWindowPosition(w, SDL_WINDOWPOS_CENTERED_DISPLAY(driver), SDL_WINDOWPOS_CENTERED_DISPLAY(driver));
  // Shown first: a hidden window only notes the full-screen wish, hiding whether it worked.
  window.show();
  SDL_DisplayMode mode{};
  if (reportedMode(driver, width, height, mode) && SDL_SetWindowDisplayMode(w, &mode) == 0 &&
      SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN) == 0) {
    display->modeSwitched_ = true;
    display->refreshRate_ = mode.refresh_rate > 0 ? mode.refresh_rate : 60;
  } else if (SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0) {
    display->refreshRate_ = refreshRateOf(driver);
  } else {
    display->abandon();
    return nullptr;
  }
  // Made at the full-screen size: some drivers' drawing surfaces (offscreen's) keep the
  // size they were made at.
  if (!display->createRenderer()) {
    display->abandon();
    return nullptr;
  }
  return display;
}

PlatformDisplay::~PlatformDisplay() {
  releaseRenderer();
  if (fullScreen_) {
    restoreWindow();
  }
}

namespace {

// Without a screen there is no graphics processor to use: SDL's own software renderer,
// drawing straight into the window's memory framebuffer, gives the same pixels without
// starting an OpenGL stack for each display (slow, and it keeps memory after it closes).
bool headlessVideo() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

}  // namespace

bool PlatformDisplay::createRenderer() {
  const bool headless = headlessVideo();
  if (headless) {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  }
  const Uint32 flags = headless ? SDL_RENDERER_SOFTWARE : 0;
  SDL_Renderer* const renderer = SDL_CreateRenderer(sdlWindow(window_), -1, flags);
  renderer_ = renderer;
  if (!renderer) {
    return false;
  }
  SDL_Texture* const texture =
      SDL_CreateTexture(renderer, textureFormatOf(format_), SDL_TEXTUREACCESS_STREAMING, width_, height_);
  texture_ = texture;
  if (!texture) {
    return false;
  }
  SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
  SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest);
  return true;
}

void PlatformDisplay::releaseRenderer() {
  if (texture_) {
    SDL_DestroyTexture(static_cast<SDL_Texture*>(texture_));
    texture_ = nullptr;
  }
  if (renderer_) {
    SDL_DestroyRenderer(static_cast<SDL_Renderer*>(renderer_));
    renderer_ = nullptr;
  }
}

void PlatformDisplay::abandon() {
  releaseRenderer();
  restoreWindow();
  fullScreen_ = false;  // nothing left for the destructor to undo
}

void PlatformDisplay::restoreWindow() {
  SDL_Window* const w = sdlWindow(window_);
  if (SDL_GetWindowFlags(w) & SDL_WINDOW_FULLSCREEN) {
    SDL_SetWindowFullscreen(w, 0);
  }
  window_.setBordered(saved_.bordered);
  window_.setResizable(saved_.resizable);
  window_.resize(saved_.width, saved_.height);
  window_.move(saved_.x, saved_.y);
  if (saved_.visible) {
    window_.show();
  } else {
    window_.hide();
  }
}

bool PlatformDisplay::draw() {
  SDL_Renderer* const renderer = static_cast<SDL_Renderer*>(renderer_);
  int outputWidth = 0;
  int outputHeight = 0;
  if (SDL_GetRendererOutputSize(renderer, &outputWidth, &outputHeight) != 0) {
    return false;
  }
  SDL_Rect target{0, 0, width_, height_};
  if (fullScreen_) {
    target = fitted(width_, height_, outputWidth, outputHeight);
  } else if (scaled_) {
    target = {0, 0, outputWidth, outputHeight};
  }
  // Clearing costs a pass over the output: only where the picture leaves some uncovered.
  const bool covers = target.x <= 0 && target.y <= 0 && target.x + target.w >= outputWidth &&
                      target.y + target.h >= outputHeight;
  if (!uploaded_ || !covers) {
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    if (SDL_RenderClear(renderer) != 0) {
      return false;
    }
  }
  return !uploaded_ || SDL_RenderCopy(renderer, static_cast<SDL_Texture*>(texture_), nullptr, &target) == 0;
}

int PlatformDisplay::present(const Surface& picture, bool vsync) {
  if (picture.width() != width_ || picture.height() != height_ || !(picture.format() == format_)) {
    return kPresentWrongPicture;
  }
  if (SDL_UpdateTexture(static_cast<SDL_Texture*>(texture_), nullptr, picture.pixels(), picture.pitch()) != 0) {
    return kPresentUploadFailed;
  }
  uploaded_ = true;
  if (vsync != vsync_) {
    // A renderer that cannot wait for the blank presents at once: not worth failing for.
    SDL_RenderSetVSync(static_cast<SDL_Renderer*>(renderer_), vsync ? 1 : 0);
    vsync_ = vsync;
  }
  if (!draw()) {
    return kPresentDrawFailed;
  }
  SDL_RenderPresent(static_cast<SDL_Renderer*>(renderer_));
  recordPresentedPicture(picture);
  return 0;
}

int PlatformDisplay::repaint() {
  if (!draw()) {
    return kPresentDrawFailed;
  }
  SDL_RenderPresent(static_cast<SDL_Renderer*>(renderer_));
  return 0;
}

PresentedPicture PlatformDisplay::readBackOutput() {
  PresentedPicture picture;
  SDL_Renderer* const renderer = static_cast<SDL_Renderer*>(renderer_);
  int width = 0;
  int height = 0;
  if (SDL_GetRendererOutputSize(renderer, &width, &height) != 0 || width <= 0 || height <= 0 || !draw()) {
    return picture;
  }
  std::vector<uint32_t> pixels(size_t(width) * size_t(height));
  if (SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(), width * 4) != 0) {
    return picture;
  }
  for (uint32_t& p : pixels) {
    p |= 0xFF000000u;
  }
  picture.width = width;
  picture.height = height;
  picture.pixels = std::move(pixels);
  return picture;
}
