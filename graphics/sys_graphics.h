// sysGraphics: the open display. It owns the front and back canvases, the default font,
// and every canvas and font made through it; it flips or presents what is drawn, and
// backs its surfaces up while a full-screen display is paused.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "graphics/canvas.h"
#include "host/host_services.h"

class PlatformDisplay;
class PeriodicTimer;
class sysFont;
class sysMovie;

class sysGraphics final : public GraphicsHost {
public:
    // A display of `kind` over an opened platform display. Windowed kinds get one surface
    // under both canvases and the 100 ms presentation tick; full-screen gets a front and a
    // back surface that a flip exchanges. Null when a surface cannot be made.
    static std::unique_ptr<sysGraphics> create(DisplayKind kind, std::unique_ptr<PlatformDisplay> display,
                                               int32_t width, int32_t height, const SurfaceFormat& format);
    // Closes the movies, frees the fonts and the canvases, forgets the font files added for
    // it, then destroys the back and the front canvas and the platform display.
    ~sysGraphics() override;
    sysGraphics(const sysGraphics&) = delete;
    sysGraphics& operator=(const sysGraphics&) = delete;

    DisplayKind kind() const { return kind_; }
    sysCanvas* frontCanvas() const { return front_.get(); }
    sysCanvas* backCanvas() const { return back_.get(); }
    sysFont* defaultFont() const { return defaultFont_.get(); }
    int width() const override { return front_->width(); }
    int height() const override { return front_->height(); }
    int32_t depth() const { return front_->depth(); }
    const SurfaceFormat& surfaceFormat() const { return front_->surface().format(); }

    void verticalBlankWait();
    int32_t scanLine() const;
    // Full-screen: exchanges the two surfaces and shows the new front. Windowed: the front
    // takes the back's modification counter and is presented when it changed. A failed
    // full-screen flip is logged through the host and the program goes on.
    void flip(bool vwait);
    int64_t videoMemoryTotal() const;
    int64_t videoMemoryFree() const;

    // Canvases made through the display; handles are their addresses.
    sysCanvas* createCanvas(int32_t width, int32_t height, uint32_t flags);
    // Takes a canvas made for this display (a transformed frame) into the set.
    sysCanvas* adoptCanvas(std::unique_ptr<sysCanvas> canvas);
    // The canvas of a handle if it is one of the display's (its set, front or back).
    sysCanvas* verifyCanvas(uint32_t handle) const;
    void freeCanvas(sysCanvas* canvas);
    // A canvas of an image file's picture in the display's format, with CanvasFlags
    // `flags`, kept in the display's set; null when the file cannot be loaded.
    sysCanvas* loadCanvas(const std::string& file, uint32_t flags);
    // The same picture in a canvas the caller owns: for pictures used only for a moment
    // (a strip cut into frames, a picture before it is scaled).
    std::unique_ptr<sysCanvas> loadOwnedCanvas(const std::string& file, uint32_t flags);

    // Fonts made through the display. The default font is known to it but never freed
    // before the display closes, so buffers that use it keep drawing text.
    sysFont* loadFont(const std::string& name, int32_t height, int32_t flags);
    sysFont* verifyFont(uint32_t handle) const;
    void freeFont(sysFont* font);

    // Movies opened on the display, kept in its set; handles are their addresses.
    // openMovie resolves the program's file name; null when the movie cannot be opened.
    sysMovie* openMovie(const std::string& file);
    // The movie of a handle if it is one of the display's open movies.
    sysMovie* verifyMovie(uint32_t handle) const;
    // Closes a movie of the set; any other handle is ignored.
    void closeMovie(uint32_t handle);

    // A windowed display shows drawing on its front buffer within one presentation tick;
    // this shows it now (before the display closes, so the last picture is not lost).
    void presentPending();

    // Host side: the window's paint, and the backup of a paused full-screen display.
    void paint() override;
    void backupSurfaces() override;
    void restoreSurfaces() override;

private:
    sysGraphics(DisplayKind kind, std::unique_ptr<PlatformDisplay> display);
    // Uploads the front canvas to the window.
    void present(bool vsync);
    void presentationTick();

    DisplayKind kind_;
    std::unique_ptr<PlatformDisplay> display_;
    std::unique_ptr<sysCanvas> front_;
    std::unique_ptr<sysCanvas> back_;
    std::unique_ptr<sysFont> defaultFont_;
    std::unordered_map<uint32_t, std::unique_ptr<sysCanvas>> canvases_;
    std::unordered_map<uint32_t, std::unique_ptr<sysFont>> fonts_;
    std::vector<std::string> fontFiles_;
    std::unordered_map<uint32_t, std::unique_ptr<sysMovie>> movies_;
    // Windowed kinds: the front counter value last presented, shared with the tick thread.
    std::atomic<uint32_t> lastPresented_{0};
    std::unique_ptr<PeriodicTimer> presentationTimer_;
    // The front counter value of the picture last uploaded (program thread only).
    uint32_t uploaded_ = 0;
};

// The handle of a runtime object: its address as a 32-bit word.
template <typename T>
uint32_t handleOf(const T* object) {
    return uint32_t(reinterpret_cast<uintptr_t>(object));
}
