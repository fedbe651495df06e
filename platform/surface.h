// The runtime's own software surfaces: a block of pixel memory in one of the supported
// formats, with a nested lock, fills and copies (solid, colour-keyed, stretched, onto
// itself). Plain C++ with no outside library; canvases and displays build on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// A rectangle with exclusive right and bottom edges.
struct SurfaceRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    bool operator==(const SurfaceRect&) const = default;
};

// The intersection of two rectangles; (0, 0, 0, 0) when they do not overlap.
SurfaceRect intersectRects(const SurfaceRect& a, const SurfaceRect& b);

// Layout of one native pixel: bits per pixel and the channel masks within it.
struct SurfaceFormat {
    int32_t depth = 0;
    uint32_t alphaMask = 0;
    uint32_t redMask = 0;
    uint32_t greenMask = 0;
    uint32_t blueMask = 0;

    int32_t bytesPerPixel() const { return depth / 8; }
    // The bits of a native pixel that carry colour or alpha; the rest are padding.
    uint32_t usedBits() const { return alphaMask | redMask | greenMask | blueMask; }
    bool operator==(const SurfaceFormat&) const = default;

    static SurfaceFormat rgb565() { return {16, 0, 0xF800, 0x07E0, 0x001F}; }
    static SurfaceFormat rgb555() { return {16, 0, 0x7C00, 0x03E0, 0x001F}; }
    static SurfaceFormat rgb888() { return {24, 0, 0xFF0000, 0x00FF00, 0x0000FF}; }
    static SurfaceFormat xrgb8888() { return {32, 0, 0xFF0000, 0x00FF00, 0x0000FF}; }
};

// Where a surface lives. Video memory is a bookkeeping budget here: it is honoured so that
// the memory figures and the "video memory where it can" placement behave as expected.
enum class SurfaceMemory { Video, System };

class Surface {
public:
    // A new surface of width x height pixels (contents zero), or null when the size is
    // not positive, too large, not a supported format (depth 16, 24 or 32 with channels
    // that fit the pixel), or, for video memory, beyond the remaining budget.
    static std::unique_ptr<Surface> create(int32_t width, int32_t height,
                                           const SurfaceFormat& format, SurfaceMemory memory);
    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    const SurfaceFormat& format() const { return format_; }
    SurfaceMemory memory() const { return memory_; }
    SurfaceRect rect() const { return {0, 0, width_, height_}; }

    // Nested lock: every successful lock needs one unlock. The memory never moves, so base
    // and pitch stay valid for the surface's life; the lock only documents direct access.
    bool lock(uint8_t** base, int32_t* pitch);
    void unlock();
    int32_t lockCount() const { return lockCount_; }

    // Fills the rectangle with a native pixel value. False (nothing drawn) when the
    // rectangle is empty or not inside the surface.
    bool fill(const SurfaceRect& rect, uint32_t native);

    // Copies source's srcRect onto dstRect of this surface (equal sizes). With keyed set,
    // source pixels equal to key on their used bits are skipped. The source may be this
    // surface, with any overlap. Surfaces of different formats are converted pixel by
    // pixel. False (nothing drawn) when a rectangle is empty or lies outside its surface.
    bool copy(const SurfaceRect& dstRect, const Surface& source, const SurfaceRect& srcRect,
              bool keyed = false, uint32_t key = 0);

    // As copy, but scales srcRect to dstRect with nearest-pixel sampling.
    bool stretchCopy(const SurfaceRect& dstRect, const Surface& source,
                     const SurfaceRect& srcRect, bool keyed = false, uint32_t key = 0);

    // A stretched copy (nearest pixel, no key) onto a destination whose edges may lie
    // outside this surface, given as 64-bit values so that x + w cannot overflow: only the
    // part inside is drawn, each pixel sampled as in the whole stretch. The source must
    // be another surface. Returns the rectangle drawn, empty when nothing was.
    SurfaceRect stretchCopyClipped(int64_t left, int64_t top, int64_t right, int64_t bottom,
                                   const Surface& source, const SurfaceRect& srcRect);

    // Memory access without the lock ceremony, for platform code (upload to a texture).
    const uint8_t* pixels() const { return pixels_; }
    uint8_t* pixels() { return pixels_; }
    int32_t pitch() const { return pitch_; }

    // Video memory budget and what live video surfaces use of it, in bytes.
    static int64_t videoMemoryTotal();
    static int64_t videoMemoryFree();

    // Testing seams: the next lock of any surface fails once; the SSE2 paths can be turned
    // off to exercise the portable ones.
    static void failNextLockForTesting();
    static void setSimdEnabled(bool enabled);
    static bool simdEnabled();

private:
    Surface() = default;
    void stretchRows(int64_t left, int64_t top, int64_t right, int64_t bottom, const SurfaceRect& visible,
                     const Surface& source, const SurfaceRect& srcRect, bool keyed, uint32_t key);

    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t pitch_ = 0;
    SurfaceFormat format_;
    SurfaceMemory memory_ = SurfaceMemory::System;
    uint8_t* pixels_ = nullptr;
    int64_t bytes_ = 0;
    int32_t lockCount_ = 0;
};
