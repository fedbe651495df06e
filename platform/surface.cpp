// Software surfaces: allocation, the nested lock, fills and copies. The row loops have an
// SSE2 version where it pays (32- and 16-bit fills and keyed copies) and a portable one;
// formats that differ are converted through 8-bit channels, which is the slow general path.
#include "platform/surface.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr int32_t maxSide = 32768;
constexpr int64_t maxBytes = int64_t(512) << 20;
constexpr int64_t videoBudget = int64_t(256) << 20;

int64_t videoInUse = 0;
bool failNextLock = false;
#ifdef __SSE2__
bool simdOn = true;
#else
bool simdOn = false;
#endif

bool contains(const SurfaceRect& outer, const SurfaceRect& r) {
    return r.left >= outer.left && r.top >= outer.top && r.right <= outer.right &&
           r.bottom <= outer.bottom;
}

uint32_t loadPixel(const uint8_t* p, int32_t bytes) {
    switch (bytes) {
    case 2: { uint16_t v; std::memcpy(&v, p, 2); return v; }
    case 3: return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    case 4: { uint32_t v; std::memcpy(&v, p, 4); return v; }
    default: return p[0];
    }
}

void storePixel(uint8_t* p, int32_t bytes, uint32_t v) {
    switch (bytes) {
    case 2: { const uint16_t h = uint16_t(v); std::memcpy(p, &h, 2); break; }
    case 3: p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); break;
    case 4: std::memcpy(p, &v, 4); break;
    default: p[0] = uint8_t(v); break;
    }
}

// ---- fills ----

// Vector fills store 16 bytes at a time, unaligned, and finish with one store that ends at
// the last pixel (overlapping the one before), so there is no scalar tail.
void fillRow16(uint16_t* p, int32_t n, uint16_t v) {
#ifdef __SSE2__
    if (simdOn && n >= 8) {
        const __m128i c = _mm_set1_epi16(int16_t(v));
        int32_t i = 0;
        for (; i + 32 <= n; i += 32) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), c);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i + 8), c);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i + 16), c);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i + 24), c);
        }
        for (; i + 8 <= n; i += 8) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), c);
        }
        if (i < n) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + n - 8), c);
        }
        return;
    }
#endif
    for (int32_t i = 0; i < n; ++i) {
        p[i] = v;
    }
}

void fillRow32(uint32_t* p, int32_t n, uint32_t v) {
#ifdef __SSE2__
    if (simdOn && n >= 4) {
        const __m128i c = _mm_set1_epi32(int32_t(v));
        int32_t i = 0;
        for (; i + 16 <= n; i += 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), c);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i + 4), c);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i + 8), c);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i + 12), c);
        }
        for (; i + 4 <= n; i += 4) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), c);
        }
        if (i < n) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + n - 4), c);
        }
        return;
    }
#endif
    for (int32_t i = 0; i < n; ++i) {
        p[i] = v;
    }
}

#ifdef __SSE2__
inline __m128i load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store16(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
#endif

// Copies the rows of a rectangle between different surfaces. Sprite-sized rows are copied
// inline (a call into the C library per row costs more than the copy): a row of up to 128
// bytes is loaded whole from both ends, overlapping in the middle, then stored; the size
// class is chosen once per rectangle.
#ifdef __SSE2__
// Rows of 16 to 32 bytes.
void copyRows32(uint8_t* d, int32_t dstep, const uint8_t* s, int32_t sstep, int32_t h, size_t n) {
    for (int32_t y = 0; y < h; ++y, d += dstep, s += sstep) {
        const __m128i a = load16(s), b = load16(s + n - 16);
        store16(d, a);
        store16(d + n - 16, b);
    }
}

// Rows of 33 to 64 bytes.
void copyRows64(uint8_t* d, int32_t dstep, const uint8_t* s, int32_t sstep, int32_t h, size_t n) {
    for (int32_t y = 0; y < h; ++y, d += dstep, s += sstep) {
        const __m128i a = load16(s), b = load16(s + 16);
        const __m128i c = load16(s + n - 32), e = load16(s + n - 16);
        store16(d, a);
        store16(d + 16, b);
        store16(d + n - 32, c);
        store16(d + n - 16, e);
    }
}

// Rows of 65 to 128 bytes: all eight loads come before the stores, so no load waits on a
// store to an address that only looks alike in its low bits.
void copyRows128(uint8_t* d, int32_t dstep, const uint8_t* s, int32_t sstep, int32_t h, size_t n) {
    for (int32_t y = 0; y < h; ++y, d += dstep, s += sstep) {
        const __m128i a = load16(s), b = load16(s + 16), c = load16(s + 32), e = load16(s + 48);
        const __m128i f = load16(s + n - 64), g = load16(s + n - 48), k = load16(s + n - 32),
                      m = load16(s + n - 16);
        store16(d, a);
        store16(d + 16, b);
        store16(d + 32, c);
        store16(d + 48, e);
        store16(d + n - 64, f);
        store16(d + n - 48, g);
        store16(d + n - 32, k);
        store16(d + n - 16, m);
    }
}
#endif

void copyRows(uint8_t* d, int32_t dstep, const uint8_t* s, int32_t sstep, int32_t h, size_t n) {
#ifdef __SSE2__
    if (simdOn && n >= 16 && n <= 128) {
        if (n <= 32) {
            copyRows32(d, dstep, s, sstep, h, n);
        } else if (n <= 64) {
            copyRows64(d, dstep, s, sstep, h, n);
        } else {
            copyRows128(d, dstep, s, sstep, h, n);
        }
        return;
    }
#endif
    for (int32_t y = 0; y < h; ++y, d += dstep, s += sstep) {
        std::memcpy(d, s, n);
    }
}

void fillRow24(uint8_t* p, int32_t n, uint32_t v) {
    for (int32_t i = 0; i < n; ++i, p += 3) {
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
        p[2] = uint8_t(v >> 16);
    }
}

// ---- keyed rows (same format): pixels equal to key on the used bits are skipped ----

#ifdef __SSE2__
// The SSE2 operations that differ between 16- and 32-bit pixels.
__m128i splat(uint16_t v) { return _mm_set1_epi16(int16_t(v)); }
__m128i splat(uint32_t v) { return _mm_set1_epi32(int32_t(v)); }
__m128i equalLanes(__m128i a, __m128i b, uint16_t) { return _mm_cmpeq_epi16(a, b); }
__m128i equalLanes(__m128i a, __m128i b, uint32_t) { return _mm_cmpeq_epi32(a, b); }
#endif

// One keyed row of 16- or 32-bit pixels: eight or four at a time, then one by one.
template <typename Pixel>
void keyedRow(Pixel* d, const Pixel* s, int32_t n, Pixel key, Pixel used) {
    const Pixel k = Pixel(key & used);
    int32_t i = 0;
#ifdef __SSE2__
    if (simdOn) {
        constexpr int32_t lanes = int32_t(16 / sizeof(Pixel));
        const __m128i kv = splat(k);
        const __m128i u = splat(used);
        for (; i + lanes <= n; i += lanes) {
            const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            const __m128i m = equalLanes(_mm_and_si128(sv, u), kv, Pixel());
            const int bits = _mm_movemask_epi8(m);
            if (bits == 0xFFFF) {
                continue;
            }
            __m128i* dp = reinterpret_cast<__m128i*>(d + i);
            if (bits == 0) {
                _mm_storeu_si128(dp, sv);
                continue;
            }
            const __m128i dv = _mm_loadu_si128(dp);
            _mm_storeu_si128(dp, _mm_or_si128(_mm_and_si128(m, dv), _mm_andnot_si128(m, sv)));
        }
    }
#endif
    for (; i < n; ++i) {
        if (Pixel(s[i] & used) != k) {
            d[i] = s[i];
        }
    }
}

void keyedRow24(uint8_t* d, const uint8_t* s, int32_t n, uint32_t key, uint32_t used) {
    const uint32_t k = key & used;
    for (int32_t i = 0; i < n; ++i, d += 3, s += 3) {
        if ((loadPixel(s, 3) & used) != k) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
}

void keyedRow(uint8_t* d, const uint8_t* s, int32_t n, int32_t bytes, uint32_t key, uint32_t used) {
    switch (bytes) {
    case 2:
        keyedRow<uint16_t>(reinterpret_cast<uint16_t*>(d), reinterpret_cast<const uint16_t*>(s), n,
                   uint16_t(key), uint16_t(used));
        break;
    case 3: keyedRow24(d, s, n, key, used); break;
    default:
        keyedRow<uint32_t>(reinterpret_cast<uint32_t*>(d), reinterpret_cast<const uint32_t*>(s), n, key, used);
        break;
    }
}

// ---- format conversion through 8-bit channels (no bit replication) ----

struct Channel {
    uint32_t mask;
    int32_t shift;
    int32_t bits;
};

Channel channelOf(uint32_t mask) {
    if (mask == 0) {
        return {0, 0, 0};
    }
    int32_t shift = 0;
    while (((mask >> shift) & 1) == 0) {
        ++shift;
    }
    int32_t bits = 0;
    while (shift + bits < 32 && ((mask >> (shift + bits)) & 1) != 0) {
        ++bits;
    }
    return {mask, shift, bits};
}

struct Converter {
    Channel from[4];
    Channel to[4];

    Converter(const SurfaceFormat& s, const SurfaceFormat& d)
        : from{channelOf(s.alphaMask), channelOf(s.redMask), channelOf(s.greenMask), channelOf(s.blueMask)},
          to{channelOf(d.alphaMask), channelOf(d.redMask), channelOf(d.greenMask), channelOf(d.blueMask)} {}

    uint32_t operator()(uint32_t pixel) const {
        uint32_t out = 0;
        for (int c = 0; c < 4; ++c) {
            if (to[c].bits == 0) {
                continue;
            }
            uint32_t v8 = 0xFF;  // a channel the source lacks reads as full
            if (from[c].bits != 0) {
                v8 = ((pixel & from[c].mask) >> from[c].shift) << (8 - from[c].bits);
            }
            out |= ((v8 >> (8 - to[c].bits)) << to[c].shift) & to[c].mask;
        }
        return out;
    }
};

bool validFormat(const SurfaceFormat& f) {
    if (f.depth != 16 && f.depth != 24 && f.depth != 32) {
        return false;
    }
    const uint32_t limit = f.depth == 32 ? 0xFFFFFFFFu : (1u << f.depth) - 1;
    const uint32_t masks[4] = {f.alphaMask, f.redMask, f.greenMask, f.blueMask};
    uint32_t seen = 0;
    for (const uint32_t m : masks) {
        if ((m & ~limit) != 0 || (m & seen) != 0) {
            return false;
        }
        const Channel c = channelOf(m);
        if (c.bits > 8 || (c.bits > 0 && (((1ull << c.bits) - 1) << c.shift) != m)) {
            return false;  // channels are contiguous and at most 8 bits wide
        }
        seen |= m;
    }
    return true;
}

// The general path between formats, kept out of line so the fast paths stay lean.
__attribute__((noinline)) void convertRows(uint8_t* drow, int32_t dstep, const SurfaceFormat& df,
                                           const uint8_t* srow, int32_t sstep, const SurfaceFormat& sf,
                                           int32_t w, int32_t h, bool keyed, uint32_t key) {
    const Converter convert(sf, df);
    const int32_t bytes = df.bytesPerPixel();
    const int32_t sbytes = sf.bytesPerPixel();
    const uint32_t used = sf.usedBits();
    for (int32_t y = 0; y < h; ++y, srow += sstep, drow += dstep) {
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t p = loadPixel(srow + x * sbytes, sbytes);
            if (!keyed || (p & used) != (key & used)) {
                storePixel(drow + x * bytes, bytes, convert(p));
            }
        }
    }
}

}  // namespace

SurfaceRect intersectRects(const SurfaceRect& a, const SurfaceRect& b) {
    const SurfaceRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                        std::min(a.bottom, b.bottom)};
    return r.empty() ? SurfaceRect{} : r;
}

std::unique_ptr<Surface> Surface::create(int32_t width, int32_t height, const SurfaceFormat& format,
                                         SurfaceMemory memory) {
    if (width <= 0 || height <= 0 || width > maxSide || height > maxSide || !validFormat(format)) {
        return nullptr;
    }
    const int64_t pitch = (int64_t(width) * format.bytesPerPixel() + 15) & ~int64_t(15);
    const int64_t bytes = (pitch * height + 63) & ~int64_t(63);
    if (bytes > maxBytes) {
        return nullptr;
    }
    if (memory == SurfaceMemory::Video && videoInUse + bytes > videoBudget) {
        return nullptr;
    }
    void* mem = std::aligned_alloc(64, size_t(bytes));
    if (mem == nullptr) {
        return nullptr;
    }
    std::memset(mem, 0, size_t(bytes));
    std::unique_ptr<Surface> s(new Surface());
    s->width_ = width;
    s->height_ = height;
    s->pitch_ = int32_t(pitch);
    s->format_ = format;
    s->memory_ = memory;
    s->pixels_ = static_cast<uint8_t*>(mem);
    s->bytes_ = bytes;
    if (memory == SurfaceMemory::Video) {
        videoInUse += bytes;
    }
    return s;
}

Surface::~Surface() {
    if (memory_ == SurfaceMemory::Video) {
        videoInUse -= bytes_;
    }
    std::free(pixels_);
}

bool Surface::lock(uint8_t** base, int32_t* pitch) {
    if (failNextLock) {
        failNextLock = false;
        return false;
    }
    ++lockCount_;
    *base = pixels_;
    *pitch = pitch_;
    return true;
}

void Surface::unlock() {
    if (lockCount_ > 0) {
        --lockCount_;
    }
}

bool Surface::fill(const SurfaceRect& rect, uint32_t native) {
    if (rect.empty() || !contains(this->rect(), rect)) {
        return false;
    }
    const int32_t bytes = format_.bytesPerPixel();
    const int32_t n = rect.width();
    uint8_t* row = pixels_ + int64_t(rect.top) * pitch_ + int64_t(rect.left) * bytes;
    const uint8_t* const end = row + int64_t(rect.height()) * pitch_;
    switch (bytes) {
    case 2:
        for (; row != end; row += pitch_) {
            fillRow16(reinterpret_cast<uint16_t*>(row), n, uint16_t(native));
        }
        break;
    case 3:
        for (; row != end; row += pitch_) {
            fillRow24(row, n, native);
        }
        break;
    default:
        for (; row != end; row += pitch_) {
            fillRow32(reinterpret_cast<uint32_t*>(row), n, native);
        }
        break;
    }
    return true;
}

bool Surface::copy(const SurfaceRect& dstRect, const Surface& source, const SurfaceRect& srcRect,
                   bool keyed, uint32_t key) {
    // Containment first: inside a surface, widths and heights cannot overflow.
    if (dstRect.empty() || !contains(rect(), dstRect) || !contains(source.rect(), srcRect) ||
        dstRect.width() != srcRect.width() || dstRect.height() != srcRect.height()) {
        return false;
    }
    const int32_t bytes = format_.bytesPerPixel();
    const int32_t w = dstRect.width();
    const int32_t h = dstRect.height();
    const int32_t sbytes = source.format_.bytesPerPixel();
    const uint8_t* srow = source.pixels_ + int64_t(srcRect.top) * source.pitch_ + int64_t(srcRect.left) * sbytes;
    uint8_t* drow = pixels_ + int64_t(dstRect.top) * pitch_ + int64_t(dstRect.left) * bytes;
    int32_t sstep = source.pitch_;
    int32_t dstep = pitch_;
    const bool self = &source == this;
    if (self && dstRect.top > srcRect.top) {
        // Moving down: walk rows bottom-up so no source row is overwritten before it is read.
        srow += int64_t(h - 1) * sstep;
        drow += int64_t(h - 1) * dstep;
        sstep = -sstep;
        dstep = -dstep;
    }

    if (!(source.format_ == format_)) {
        convertRows(drow, dstep, format_, srow, sstep, source.format_, w, h, keyed, key);
        return true;
    }

    const size_t rowBytes = size_t(w) * bytes;
    if (!keyed) {
        if (self) {
            for (int32_t y = 0; y < h; ++y, srow += sstep, drow += dstep) {
                std::memmove(drow, srow, rowBytes);
            }
        } else {
            copyRows(drow, dstep, srow, sstep, h, rowBytes);
        }
        return true;
    }
    // A keyed copy reads and writes pixel by pixel; when a row overlaps itself sideways the
    // source row is copied aside first.
    const bool sideways = self && dstRect.top == srcRect.top && !intersectRects(dstRect, srcRect).empty();
    std::vector<uint8_t> aside(sideways ? rowBytes : 0);
    const uint32_t used = format_.usedBits();
    for (int32_t y = 0; y < h; ++y, srow += sstep, drow += dstep) {
        const uint8_t* s = srow;
        if (sideways) {
            std::memcpy(aside.data(), srow, rowBytes);
            s = aside.data();
        }
        keyedRow(drow, s, w, bytes, key, used);
    }
    return true;
}

bool Surface::stretchCopy(const SurfaceRect& dstRect, const Surface& source, const SurfaceRect& srcRect,
                          bool keyed, uint32_t key) {
    if (dstRect.empty() || srcRect.empty() || !contains(rect(), dstRect) || !contains(source.rect(), srcRect)) {
        return false;
    }
    if (dstRect.width() == srcRect.width() && dstRect.height() == srcRect.height()) {
        return copy(dstRect, source, srcRect, keyed, key);
    }
    if (&source == this) {
        // Scaling onto an overlapping part of itself: sample from a snapshot.
        std::unique_ptr<Surface> snap =
            create(srcRect.width(), srcRect.height(), format_, SurfaceMemory::System);
        if (!snap || !snap->copy(snap->rect(), *this, srcRect)) {
            return false;
        }
        return stretchCopy(dstRect, *snap, snap->rect(), keyed, key);
    }
    stretchRows(dstRect.left, dstRect.top, dstRect.right, dstRect.bottom, dstRect, source, srcRect, keyed, key);
    return true;
}

SurfaceRect Surface::stretchCopyClipped(int64_t left, int64_t top, int64_t right, int64_t bottom,
                                        const Surface& source, const SurfaceRect& srcRect) {
    if (right <= left || bottom <= top || srcRect.empty() || !contains(source.rect(), srcRect) ||
        &source == this) {
        return {};
    }
    const SurfaceRect visible{int32_t(std::clamp<int64_t>(left, 0, width_)),
                              int32_t(std::clamp<int64_t>(top, 0, height_)),
                              int32_t(std::clamp<int64_t>(right, 0, width_)),
                              int32_t(std::clamp<int64_t>(bottom, 0, height_))};
    if (visible.empty()) {
        return {};
    }
    if (right - left == srcRect.width() && bottom - top == srcRect.height()) {
        // No scaling: the visible part is a plain copy of the matching source part.
        const SurfaceRect part{int32_t(srcRect.left + (visible.left - left)),
                               int32_t(srcRect.top + (visible.top - top)),
                               int32_t(srcRect.left + (visible.right - left)),
                               int32_t(srcRect.top + (visible.bottom - top))};
        return copy(visible, source, part) ? visible : SurfaceRect{};
    }
    stretchRows(left, top, right, bottom, visible, source, srcRect, false, 0);
    return visible;
}

// Each destination pixel of the whole stretch (left, top, right, bottom) samples the
// source pixel under its centre; only the pixels of `visible` (inside it and inside this
// surface) are written.
void Surface::stretchRows(int64_t left, int64_t top, int64_t right, int64_t bottom, const SurfaceRect& visible,
                          const Surface& source, const SurfaceRect& srcRect, bool keyed, uint32_t key) {
    const int32_t bytes = format_.bytesPerPixel();
    const int32_t sbytes = source.format_.bytesPerPixel();
    const int64_t w = right - left;
    const int64_t h = bottom - top;
    const int64_t sw = srcRect.width();
    const int64_t sh = srcRect.height();
    std::vector<int32_t> columns(static_cast<size_t>(visible.width()));
    for (int32_t x = visible.left; x < visible.right; ++x) {
        const int64_t dx = x - left;
        columns[size_t(x - visible.left)] = int32_t(srcRect.left + ((2 * dx + 1) * sw) / (2 * w)) * sbytes;
    }
    const bool sameFormat = source.format_ == format_;
    const Converter convert(source.format_, format_);
    const uint32_t used = source.format_.usedBits();
    const uint32_t k = key & used;
    for (int32_t y = visible.top; y < visible.bottom; ++y) {
        const int64_t sy = srcRect.top + ((2 * (y - top) + 1) * sh) / (2 * h);
        const uint8_t* srow = source.pixels_ + sy * source.pitch_;
        uint8_t* d = pixels_ + int64_t(y) * pitch_ + int64_t(visible.left) * bytes;
        for (const int32_t column : columns) {
            const uint32_t p = loadPixel(srow + column, sbytes);
            if (!keyed || (p & used) != k) {
                storePixel(d, bytes, sameFormat ? p : convert(p));
            }
            d += bytes;
        }
    }
}

int64_t Surface::videoMemoryTotal() { return videoBudget; }
int64_t Surface::videoMemoryFree() { return videoBudget - videoInUse; }
void Surface::failNextLockForTesting() { failNextLock = true; }
void Surface::setSimdEnabled(bool enabled) {
#ifdef __SSE2__
    simdOn = enabled;
#else
    (void)enabled;
#endif
}
bool Surface::simdEnabled() { return simdOn; }
