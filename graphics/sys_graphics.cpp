// sysGraphics: the display's canvases and fonts, flipping and presenting, and the backup
// of a paused full-screen display.
#include "graphics/sys_graphics.h"

#include <string>

#include "basic/ks_error.h"
#include "graphics/image_file.h"
#include "graphics/sys_font.h"
#include "graphics/sys_movie.h"
#include "host/sys_runtime.h"
#include "platform/display.h"
#include "platform/paths.h"
#include "platform/periodic_timer.h"

namespace {

// What a flip answers when a buffer is locked: the surface is busy (the low 15 bits of
// the "surface busy" result code).
constexpr int kSurfaceBusy = 430;
constexpr int kPresentationPeriodMs = 100;

}  // namespace

sysGraphics::sysGraphics(DisplayKind kind, std::unique_ptr<PlatformDisplay> display)
    : kind_(kind), display_(std::move(display)) {}

std::unique_ptr<sysGraphics> sysGraphics::create(DisplayKind kind, std::unique_ptr<PlatformDisplay> display,
                                                 int32_t width, int32_t height, const SurfaceFormat& format) {
    std::unique_ptr<sysGraphics> graphics(new sysGraphics(kind, std::move(display)));
    sysGraphics* self = graphics.get();
    const bool windowed = kind != DisplayKind::FullScreen;
    std::shared_ptr<Surface> frontSurface = placeSurface(width, height, CanvasPlaced, format);
    std::shared_ptr<Surface> backSurface =
        windowed ? frontSurface : placeSurface(width, height, CanvasPlaced, format);
    if (!frontSurface || !backSurface) {
        return nullptr;
    }
    graphics->front_ = std::make_unique<sysCanvas>(frontSurface, 0, self, nullptr);
    graphics->back_ = std::make_unique<sysCanvas>(backSurface, 0, self, nullptr);
    graphics->front_->clear();
    graphics->back_->clear();
    graphics->defaultFont_ = sysFont::load("courier", 12, 0, format, width, self, graphics->fontFiles_);
    graphics->front_->setFont(graphics->defaultFont_.get());
    graphics->back_->setFont(graphics->defaultFont_.get());
    if (windowed) {
        graphics->presentationTimer_ =
            std::make_unique<PeriodicTimer>(kPresentationPeriodMs, [self] { self->presentationTick(); });
    }
    return graphics;
}

sysGraphics::~sysGraphics() {
    presentationTimer_.reset();
    movies_.clear();
    fonts_.clear();
    defaultFont_.reset();
    canvases_.clear();
    sysFont::forgetFontFiles(fontFiles_);
    back_.reset();
    front_.reset();
    display_.reset();
}

void sysGraphics::verticalBlankWait() {
    display_->waitVerticalBlank();
}

// During the blank the display is between lines, and the scan line cannot be read: 0.
int32_t sysGraphics::scanLine() const {
    const int32_t line = display_->scanLine();
    return line < height() ? line : 0;
}

void sysGraphics::flip(bool vwait) {
    if (kind_ != DisplayKind::FullScreen) {
        front_->setModificationCounter(back_->modificationCounter());
        const uint32_t counter = front_->modificationCounter();
        if (counter != lastPresented_.load(std::memory_order_relaxed)) {
            lastPresented_.store(counter, std::memory_order_relaxed);
            present(vwait);
        } else if (vwait) {
            display_->waitVerticalBlank();
        }
        return;
    }
    int result = kSurfaceBusy;
    if (front_->lockCount() == 0 && back_->lockCount() == 0) {
        front_->exchangeSurfaces(*back_);
        result = display_->present(front_->surface(), vwait);
    }
    if (result != 0 && currentRuntime) {
        const std::string text = "Flip Failed! Return code:" + std::to_string(result & 0x7FFF);
        currentRuntime->debugLog(text.c_str());
    }
}

void sysGraphics::present(bool vsync) {
    uploaded_ = front_->modificationCounter();
    display_->present(front_->surface(), vsync);
}

void sysGraphics::presentPending() {
    if (kind_ != DisplayKind::FullScreen && front_->modificationCounter() != uploaded_) {
        present(false);
    }
}

// A paint after drawing uploads the front buffer; one for an exposed window only shows
// the picture again.
void sysGraphics::paint() {
    if (kind_ == DisplayKind::FullScreen) {
        return;
    }
    if (front_->modificationCounter() != uploaded_) {
        present(false);
    } else {
        display_->repaint();
    }
}

// Runs on the timer thread: reads and writes two words and posts the paint event, and
// touches nothing else (no SDL, no canvas).
void sysGraphics::presentationTick() {
    const uint32_t counter = front_->modificationCounter();
    if (counter != lastPresented_.load(std::memory_order_relaxed)) {
        lastPresented_.store(counter, std::memory_order_relaxed);
        postHostEvent(HostEventKind::Paint);
    }
}

int64_t sysGraphics::videoMemoryTotal() const {
    return Surface::videoMemoryTotal();
}

int64_t sysGraphics::videoMemoryFree() const {
    return Surface::videoMemoryFree();
}

sysCanvas* sysGraphics::createCanvas(int32_t width, int32_t height, uint32_t flags) {
    return adoptCanvas(sysCanvas::create(width, height, flags, surfaceFormat(), this, defaultFont_.get()));
}

sysCanvas* sysGraphics::loadCanvas(const std::string& file, uint32_t flags) {
    return adoptCanvas(loadOwnedCanvas(file, flags));
}

std::unique_ptr<sysCanvas> sysGraphics::loadOwnedCanvas(const std::string& file, uint32_t flags) {
    return loadCanvasFile(file, flags, surfaceFormat(), this, defaultFont_.get());
}

sysCanvas* sysGraphics::adoptCanvas(std::unique_ptr<sysCanvas> canvas) {
    if (!canvas) {
        return nullptr;
    }
    sysCanvas* kept = canvas.get();
    canvases_[handleOf(kept)] = std::move(canvas);
    return kept;
}

sysCanvas* sysGraphics::verifyCanvas(uint32_t handle) const {
    if (handle == handleOf(front_.get())) {
        return front_.get();
    }
    if (handle == handleOf(back_.get())) {
        return back_.get();
    }
    const auto found = canvases_.find(handle);
    return found == canvases_.end() ? nullptr : found->second.get();
}

void sysGraphics::freeCanvas(sysCanvas* canvas) {
    canvases_.erase(handleOf(canvas));
}

sysFont* sysGraphics::loadFont(const std::string& name, int32_t height, int32_t flags) {
    std::unique_ptr<sysFont> font = sysFont::load(name, height, flags, surfaceFormat(), width(), this, fontFiles_);
    if (!font) {
        return nullptr;
    }
    sysFont* made = font.get();
    fonts_[handleOf(made)] = std::move(font);
    return made;
}

sysFont* sysGraphics::verifyFont(uint32_t handle) const {
    if (defaultFont_ && handle == handleOf(defaultFont_.get())) {
        return defaultFont_.get();
    }
    const auto found = fonts_.find(handle);
    return found == fonts_.end() ? nullptr : found->second.get();
}

void sysGraphics::freeFont(sysFont* font) {
    fonts_.erase(handleOf(font));
}

sysMovie* sysGraphics::openMovie(const std::string& file) {
    std::unique_ptr<sysMovie> movie = sysMovie::open(resolvePath(file), *this);
    if (!movie) {
        return nullptr;
    }
    sysMovie* made = movie.get();
    movies_[handleOf(made)] = std::move(movie);
    return made;
}

sysMovie* sysGraphics::verifyMovie(uint32_t handle) const {
    const auto found = movies_.find(handle);
    return found == movies_.end() ? nullptr : found->second.get();
}

void sysGraphics::closeMovie(uint32_t handle) {
    movies_.erase(handle);
}

void sysGraphics::backupSurfaces() {
    for (auto& [handle, canvas] : canvases_) {
        canvas->backup();
    }
    if (&back_->surface() != &front_->surface()) {
        back_->backup();
    }
    front_->backup();
}

void sysGraphics::restoreSurfaces() {
    front_->restore();
    if (&back_->surface() != &front_->surface()) {
        back_->restore();
    }
    for (auto& [handle, canvas] : canvases_) {
        canvas->restore();
    }
}
