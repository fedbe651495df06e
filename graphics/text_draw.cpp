// Text hand-off: trims the characters that lie wholly outside the viewport and gives the
// font the run that can show, at the origin-relative position of its first character.
#include "graphics/canvas.h"
#include "graphics/font_face.h"

void sysCanvas::text(int32_t x, int32_t y, std::string_view chars) {
    if (font_ == nullptr) {
        return;
    }
    const int64_t py = int64_t(y) + originY_;
    if (py >= viewport_.bottom || py + font_->height() <= viewport_.top) {
        return;
    }
    int64_t px = int64_t(x) + originX_;
    if (px >= viewport_.right) {
        return;
    }
    int64_t runX = x;
    size_t first = 0;
    while (first < chars.size()) {
        const int32_t w = font_->advance(uint8_t(chars[first]));
        if (px + w > viewport_.left) {
            break;
        }
        px += w;
        runX += w;
        ++first;
    }
    size_t end = first;
    while (end < chars.size() && px < viewport_.right) {
        px += font_->advance(uint8_t(chars[end]));
        ++end;
    }
    if (end > first) {
        font_->drawRun(*this, int32_t(runX), y, chars.substr(first, end - first), colour());
    }
}
