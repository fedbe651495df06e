// The display adapter: display drivers and their modes, and PlatformDisplay, which shows
// the runtime's software surfaces in the runtime window, windowed or full-screen, through
// an SDL renderer and one streaming texture. No SDL type shows here. Every call belongs on
// the program thread (the one that started video and owns the window).
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/presented_picture.h"
#include "platform/surface.h"

class PlatformWindow;

struct DisplayModeInfo {
  int width = 0;
  int height = 0;
  int depth = 0;
  bool operator==(const DisplayModeInfo&) const = default;
};

struct DisplayDriverInfo {
  std::string name;
  std::vector<DisplayModeInfo> modes;
};

// The display drivers are the video displays, index 0 the primary; primaryOnly lists just
// that one. A driver's modes are the sizes it reports plus the standard sizes 640x480,
// 800x600, 1024x768 and 1280x1024 that fit inside its largest reported size (all four up to
// 1024x768 when it reports none, as headless drivers do), each at depths 16, 24 and 32.
// Order: by width, then height, then depth, ascending; no duplicates.
std::vector<DisplayDriverInfo> listDisplayDrivers(bool primaryOnly);

// The pixel layout of windowed displays: 32-bit X8R8G8B8.
SurfaceFormat desktopSurfaceFormat();

// present()'s results other than 0, for the caller's log line.
constexpr int kPresentWrongPicture = 1;  // not the display's size or pixel format
constexpr int kPresentUploadFailed = 2;  // the texture refused the pixels
constexpr int kPresentDrawFailed = 3;    // the renderer could not draw the texture

class PlatformDisplay {
 public:
  // A windowed display on the runtime's window. The window gets a fixed frame (scaled
  // false) or a resizable one (scaled true); a plain window's client area becomes
  // width x height, a scaled one keeps its client size (a window not yet shown starts at
  // width x height). The client area is centred on display 0, the frame's top kept on the
  // screen, and the window is shown. format is one of the surface formats (5-6-5, 5-5-5,
  // 24-bit B,G,R in memory, X8R8G8B8). Null on failure, with the window as it was.
  static std::unique_ptr<PlatformDisplay> openWindow(PlatformWindow& window, int width, int height, bool scaled,
                                                     const SurfaceFormat& format);
  // Full-screen on driver `driver` with a picture of depth 16, 24 or 32. A size the driver
  // reports gets a real display-mode switch; any other size (or a switch the system
  // refuses) gets desktop full-screen with the picture scaled to fit, aspect kept, and
  // black bars. Null on failure, with the window as it was.
  static std::unique_ptr<PlatformDisplay> openFullScreen(PlatformWindow& window, int driver, int width, int height,
                                                         int depth);
  // Releases the texture and the renderer. A full-screen display leaves full-screen and
  // puts back the window's rectangle, frame and visibility. The window must outlive it.
  ~PlatformDisplay();
  PlatformDisplay(const PlatformDisplay&) = delete;
  PlatformDisplay& operator=(const PlatformDisplay&) = delete;

  int width() const { return width_; }
  int height() const { return height_; }
  const SurfaceFormat& format() const { return format_; }
  bool fullScreen() const { return fullScreen_; }
  bool scaled() const { return scaled_; }
  // Whether full-screen switched the display mode (false for desktop full-screen).
  bool modeSwitched() const { return modeSwitched_; }

  // Uploads the picture (the display's size and format) and shows it: 1:1 at the client's
  // top-left for a plain window, stretched to the client area for a scaled one, fitted and
  // letterboxed in full-screen, always with nearest sampling. With vsync the present waits
  // for the vertical blank where the renderer can. 0 on success, else a kPresent code.
  int present(const Surface& picture, bool vsync);
  // Shows the last uploaded picture again (exposed window, resized scaled window) without
  // an upload; black before the first present. 0 or kPresentDrawFailed.
  int repaint();

  // The vertical blank, from the refresh rate and the monotonic clock. A refresh period
  // starts with a blank of height * 45 / 480 lines (at least 1, as on a VGA 640x480 mode),
  // then scans lines 0 to height - 1. waitVerticalBlank sleeps until the next period
  // starts; scanLine is the line being scanned, height or more while in the blank.
  void waitVerticalBlank();
  int scanLine() const;
  int blankLines() const;
  // In Hz; 60 when the system does not know it.
  int refreshRate() const { return refreshRate_; }

  // Test and tool seam: draws the last uploaded picture as present does and reads back the
  // whole output (the client area, or the screen in full-screen) as a person would see it,
  // without presenting. Empty when the renderer cannot read back.
  PresentedPicture readBackOutput();

 private:
  // The window as it was before the display changed it.
  struct SavedWindow {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool visible = false;
    bool resizable = false;
    bool bordered = true;
  };

  PlatformDisplay(PlatformWindow& window, int width, int height, const SurfaceFormat& format);
  bool createRenderer();
  void releaseRenderer();
  void restoreWindow();
  void abandon();  // a failed open: release everything, window as it was
  bool draw();

  PlatformWindow& window_;
  int width_;
  int height_;
  SurfaceFormat format_;
  SavedWindow saved_;
  void* renderer_ = nullptr;  // SDL_Renderer
  void* texture_ = nullptr;   // SDL_Texture
  bool scaled_ = false;
  bool fullScreen_ = false;
  bool modeSwitched_ = false;
  bool uploaded_ = false;
  bool vsync_ = false;
  int refreshRate_ = 60;
};
