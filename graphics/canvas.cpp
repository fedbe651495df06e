// sysCanvas state: construction, the nested lock, pixel access, colours, viewport, the
// modification counter and backup/restore. Primitives and the collision mask have files
// of their own.
#include "graphics/canvas.h"

#include <algorithm>
#include <cstring>

sysCanvas::sysCanvas(std::shared_ptr<Surface> surface, uint32_t flags, sysGraphics* owner, FontFace* font)
    : flags_(flags),
      owner_(owner),
      surface_(std::move(surface)),
      surfaceRect_{0, 0, surface_->width(), surface_->height()},
      format_(PixelFormat::fromSurface(surface_->format())),
      font_(font) {
    // Software surfaces never move, so base and pitch are valid from the start: a raw access
    // after a failed lock reads the real pixels instead of a stale or null address.
    base_ = surface_->pixels();
    pitch_ = surface_->pitch();
    maskWordsPerRow_ = (surfaceRect_.right + 31) / 32;
    viewport_ = surfaceRect_;
    maskColour_ = format_.toNative(0x00000000);
    colour_ = format_.toNative(0xFFFFFFFF);
    clsColour_ = format_.toNative(0xFF000000);
}

sysCanvas::~sysCanvas() {
    mask_.reset();
    if (lockCount_ > 0 && surfaceLocked_) {
        surface_->unlock();
    }
}

std::unique_ptr<Surface> placeSurface(int32_t width, int32_t height, uint32_t flags, const SurfaceFormat& format) {
    std::unique_ptr<Surface> surface;
    if ((flags & CanvasSystemMemory) == 0) {
        surface = Surface::create(width, height, format, SurfaceMemory::Video);
    }
    if (!surface) {
        surface = Surface::create(width, height, format, SurfaceMemory::System);
    }
    return surface;
}

std::unique_ptr<sysCanvas> sysCanvas::create(int32_t width, int32_t height, uint32_t flags,
                                             const SurfaceFormat& format, sysGraphics* owner,
                                             FontFace* font) {
    std::unique_ptr<Surface> surface = placeSurface(width, height, flags, format);
    if (!surface) {
        return nullptr;
    }
    auto canvas = std::make_unique<sysCanvas>(std::move(surface), flags, owner, font);
    canvas->clear();
    return canvas;
}

bool sysCanvas::lock() {
    if (lockCount_++ == 0) {
        uint8_t* base = nullptr;
        int32_t pitch = 0;
        surfaceLocked_ = surface_->lock(&base, &pitch);
        if (surfaceLocked_) {
            base_ = base;
            pitch_ = pitch;
            counterAtLock_ = modificationCounter();
        }
    }
    return surfaceLocked_;
}

void sysCanvas::unlock() {
    if (lockCount_ == 0) {
        return;
    }
    if (lockCount_ == 1) {
        if (surfaceLocked_ && mask_ && modificationCounter() != counterAtLock_) {
            rebuildCollisionMask(surfaceRect_);
        }
        if (surfaceLocked_) {
            surface_->unlock();
        }
        surfaceLocked_ = false;
    }
    --lockCount_;
}

namespace {

bool inside(const SurfaceRect& r, int64_t x, int64_t y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

}  // namespace

uint32_t sysCanvas::getPixel(int32_t x, int32_t y) {
    const int64_t px = int64_t(x) + originX_;
    const int64_t py = int64_t(y) + originY_;
    if (!inside(viewport_, px, py)) {
        return maskColour();
    }
    uint32_t argb = maskColour();
    if (lock()) {
        argb = getPixelRaw(int32_t(px), int32_t(py));
    }
    unlock();
    return argb;
}

void sysCanvas::setPixel(int32_t x, int32_t y, uint32_t argb) {
    const int64_t px = int64_t(x) + originX_;
    const int64_t py = int64_t(y) + originY_;
    if (!inside(viewport_, px, py)) {
        return;
    }
    if (lock()) {
        format_.write(pixelAt(int32_t(px), int32_t(py)), argb);
    }
    countModifications(1);
    unlock();
}

void sysCanvas::copyPixel(int32_t x, int32_t y, sysCanvas& source, int32_t sx, int32_t sy) {
    const int64_t px = int64_t(x) + originX_;
    const int64_t py = int64_t(y) + originY_;
    const int64_t qx = int64_t(sx) + source.originX_;
    const int64_t qy = int64_t(sy) + source.originY_;
    if (!inside(viewport_, px, py) || !inside(source.viewport_, qx, qy)) {
        return;
    }
    const bool ok = lock();
    const bool sourceOk = source.lock();
    if (ok && sourceOk) {
        copyPixelRaw(int32_t(px), int32_t(py), source, int32_t(qx), int32_t(qy));
    }
    source.unlock();
    unlock();
}

void sysCanvas::copyPixelRaw(int32_t x, int32_t y, const sysCanvas& source, int32_t sx, int32_t sy) {
    const int32_t bytes = format_.depth == 16 ? 2 : format_.depth == 24 ? 3 : format_.depth == 32 ? 4 : 0;
    if (bytes == 0) {
        return;
    }
    if (source.format_.depth == format_.depth) {
        std::memcpy(pixelAt(x, y), source.pixelAt(sx, sy), size_t(bytes));
    } else {
        // Copying native bytes between depths would read past the source pixel; convert.
        format_.write(pixelAt(x, y), source.getPixelRaw(sx, sy));
    }
}

void sysCanvas::setColour(uint32_t argb) {
    colourArgb_ = argb | 0xFF000000;
    colour_ = format_.toNative(colourArgb_);
}

void sysCanvas::setViewport(int32_t x, int32_t y, int32_t w, int32_t h) {
    if (w <= 0 || h <= 0) {
        viewport_ = {};
        return;
    }
    const int64_t right = std::min<int64_t>(int64_t(x) + w, surfaceRect_.right);
    const int64_t bottom = std::min<int64_t>(int64_t(y) + h, surfaceRect_.bottom);
    const SurfaceRect r{std::max(x, 0), std::max(y, 0), int32_t(std::max<int64_t>(right, 0)),
                        int32_t(std::max<int64_t>(bottom, 0))};
    viewport_ = r.empty() ? SurfaceRect{} : r;
}

void sysCanvas::markModified(const SurfaceRect& rect) {
    countModifications(1);
    rebuildCollisionMask(rect);
}

void sysCanvas::finishDrawing(const SurfaceRect& changed) {
    countModifications(1);
    rebuildCollisionMask(changed);
}

void sysCanvas::exchangeSurfaces(sysCanvas& other) {
    std::swap(surface_, other.surface_);
    std::swap(base_, other.base_);
    std::swap(pitch_, other.pitch_);
    // The masks described the old pixels; each is rebuilt on its next use.
    mask_.reset();
    other.mask_.reset();
    countModifications(1);
    other.countModifications(1);
}

bool sysCanvas::backup() {
    backup_.reset();
    if (surface_->memory() == SurfaceMemory::System) {
        return true;
    }
    backup_ = Surface::create(width(), height(), surface_->format(), SurfaceMemory::System);
    if (!backup_) {
        return false;
    }
    backup_->copy(backup_->rect(), *surface_, surface_->rect());
    return true;
}

void sysCanvas::restore() {
    if (!backup_) {
        return;
    }
    surface_->copy(surface_->rect(), *backup_, backup_->rect());
    backup_.reset();
}
