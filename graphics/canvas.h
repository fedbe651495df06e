// sysCanvas: the one drawing surface of the runtime (display buffers, image frames, glyph
// sheets, movie pictures). It owns a software surface and keeps the drawing state, the
// pixel format, the nested lock, the modification counter and the collision mask.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

#include "graphics/pixel_format.h"
#include "platform/surface.h"

class sysGraphics;
class FontFace;

// Creation flags of a canvas.
enum CanvasFlags : uint32_t {
    CanvasPlaced = 0,             // video memory where it fits, else system memory
    CanvasSystemMemory = 0x2000,  // system memory
};

// A surface placed as canvas flags ask: video memory where it fits, else system memory
// (always system memory with CanvasSystemMemory). Null when neither can hold it.
std::unique_ptr<Surface> placeSurface(int32_t width, int32_t height, uint32_t flags, const SurfaceFormat& format);

class sysCanvas {
public:
    // A canvas over an existing surface (a display may share one surface between its
    // front and back canvases). The canvas starts in its initial drawing state.
    sysCanvas(std::shared_ptr<Surface> surface, uint32_t flags, sysGraphics* owner, FontFace* font);
    ~sysCanvas();
    sysCanvas(const sysCanvas&) = delete;
    sysCanvas& operator=(const sysCanvas&) = delete;

    // A new canvas of its own surface, placed as the flags ask, cleared to its Cls colour
    // (black). Null when the surface cannot be made.
    static std::unique_ptr<sysCanvas> create(int32_t width, int32_t height, uint32_t flags,
                                             const SurfaceFormat& format, sysGraphics* owner,
                                             FontFace* font);

    uint32_t flags() const { return flags_; }
    sysGraphics* owner() const { return owner_; }
    Surface& surface() { return *surface_; }
    const Surface& surface() const { return *surface_; }
    const std::shared_ptr<Surface>& sharedSurface() const { return surface_; }
    const PixelFormat& pixelFormat() const { return format_; }
    int32_t width() const { return surfaceRect_.right; }
    int32_t height() const { return surfaceRect_.bottom; }
    int32_t depth() const { return format_.depth; }
    SurfaceRect surfaceRect() const { return surfaceRect_; }

    // Nested lock. Only the outermost lock and unlock touch the surface. lock returns
    // whether the canvas may be drawn through base and pitch; a failed outermost lock still
    // counts as a level, so every lock is paired with an unlock. Unlocking a canvas that is
    // not locked does nothing.
    bool lock();
    void unlock();
    int32_t lockCount() const { return lockCount_; }
    bool drawable() const { return surfaceLocked_; }
    uint8_t* base() const { return base_; }
    int32_t pitch() const { return pitch_; }

    // Pixel access. The clipped forms take origin-relative coordinates and check the
    // viewport; the raw forms take surface coordinates and need the canvas locked.
    uint32_t getPixel(int32_t x, int32_t y);
    void setPixel(int32_t x, int32_t y, uint32_t argb);
    uint32_t getPixelRaw(int32_t x, int32_t y) const { return format_.read(pixelAt(x, y)); }
    void setPixelRaw(int32_t x, int32_t y, uint32_t argb) {
        format_.write(pixelAt(x, y), argb);
        countModifications(1);
    }
    void copyPixel(int32_t x, int32_t y, sysCanvas& source, int32_t sx, int32_t sy);
    void copyPixelRaw(int32_t x, int32_t y, const sysCanvas& source, int32_t sx, int32_t sy);
    uint8_t* pixelAt(int32_t x, int32_t y) const {
        return base_ + y * pitch_ + x * format_.bytesPerPixel;
    }

    // Colours are ARGB outside the canvas and native pixels inside it.
    void setColour(uint32_t argb);
    uint32_t colour() const { return format_.toArgb(colour_); }
    uint32_t colourArgb() const { return colourArgb_; }
    uint32_t nativeColour() const { return colour_; }
    void setClsColour(uint32_t argb) { clsColour_ = format_.toNative(argb | 0xFF000000); }
    uint32_t clsColour() const { return format_.toArgb(clsColour_); }
    uint32_t nativeClsColour() const { return clsColour_; }
    void setMaskColour(uint32_t argb) { maskColour_ = format_.toNative(argb); }
    uint32_t maskColour() const { return format_.toArgb(maskColour_); }
    uint32_t nativeMaskColour() const { return maskColour_; }

    void setOrigin(int32_t x, int32_t y) { originX_ = x; originY_ = y; }
    int32_t originX() const { return originX_; }
    int32_t originY() const { return originY_; }
    void setHandle(int32_t x, int32_t y) { handleX_ = x; handleY_ = y; }
    int32_t handleX() const { return handleX_; }
    int32_t handleY() const { return handleY_; }
    // (x, y, x + w, y + h) in surface coordinates cut to the surface; empty gives (0, 0, 0, 0).
    void setViewport(int32_t x, int32_t y, int32_t w, int32_t h);
    const SurfaceRect& viewport() const { return viewport_; }
    void setFont(FontFace* font) { font_ = font; }
    FontFace* font() const { return font_; }

    // Read from the presentation timer's thread as well, hence atomic (plain loads and
    // stores on x86, no locked instructions).
    uint32_t modificationCounter() const { return counter_.load(std::memory_order_relaxed); }
    void setModificationCounter(uint32_t value) { counter_.store(value, std::memory_order_relaxed); }
    // Something outside the canvas drew into the surface (a movie frame).
    void markModified(const SurfaceRect& rect);

    // The collision mask: one bit per pixel, most significant bit leftmost, rows of
    // maskWordsPerRow() words; a bit is 1 where the pixel's colour differs from the mask
    // colour. collisionMask() builds it on first use; the canvas keeps it current.
    const uint32_t* collisionMask();
    bool hasCollisionMask() const { return mask_ != nullptr; }
    int32_t maskWordsPerRow() const { return maskWordsPerRow_; }
    // Rebuilds the mask over the rectangle widened to whole words (if there is a mask).
    void rebuildCollisionMask(const SurfaceRect& rect);

    // A full-screen flip: the two canvases (of one size and format, neither locked) swap
    // their surfaces, so each now shows what the other held.
    void exchangeSurfaces(sysCanvas& other);

    // A system-memory twin of a video-memory surface while the display is paused.
    bool backup();
    void restore();
    bool hasBackup() const { return backup_ != nullptr; }

    // Drawing primitives: origin-relative, clipped to the viewport, in the stored colours.
    void clear();
    void plot(int32_t x, int32_t y);
    void line(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
    void rect(int32_t x, int32_t y, int32_t width, int32_t height, bool solid);
    void oval(int32_t x, int32_t y, int32_t width, int32_t height, bool solid);
    void blit(int32_t dx, int32_t dy, const sysCanvas& source, int32_t sx, int32_t sy,
              int32_t width, int32_t height, bool solid);
    void text(int32_t x, int32_t y, std::string_view chars);

private:
    void countModifications(uint32_t n) {
        counter_.store(counter_.load(std::memory_order_relaxed) + n, std::memory_order_relaxed);
    }
    // Fills a rectangle already inside the surface with a native value.
    void fillRect(const SurfaceRect& r, uint32_t native) { surface_->fill(r, native); }
    // Counts one modification and refreshes the mask over the changed rectangle.
    void finishDrawing(const SurfaceRect& changed);
    void buildMaskRows(const SurfaceRect& words);

    uint32_t flags_;
    sysGraphics* owner_;
    std::shared_ptr<Surface> surface_;
    std::atomic<uint32_t> counter_{0};
    std::unique_ptr<Surface> backup_;
    int32_t pitch_ = 0;
    int32_t lockCount_ = 0;
    uint32_t counterAtLock_ = 0;
    uint8_t* base_ = nullptr;
    int32_t maskWordsPerRow_ = 0;
    std::unique_ptr<uint32_t[]> mask_;
    SurfaceRect surfaceRect_;
    PixelFormat format_;
    FontFace* font_;
    SurfaceRect viewport_;
    int32_t originX_ = 0;
    int32_t originY_ = 0;
    int32_t handleX_ = 0;
    int32_t handleY_ = 0;
    uint32_t maskColour_ = 0;
    uint32_t colour_ = 0;
    uint32_t colourArgb_ = 0xFFFFFFFF;
    uint32_t clsColour_ = 0;
    bool surfaceLocked_ = false;
};
