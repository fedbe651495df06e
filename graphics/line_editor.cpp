// The line editor. The scratch canvas keeps the console line as it was before editing
// (prompt included) in its upper half and composes each new picture of the line in its
// lower half, so every redraw is two blits and a text.
#include "graphics/line_editor.h"

#include "graphics/canvas.h"
#include "graphics/graphics_state.h"
#include "graphics/sys_font.h"
#include "graphics/sys_graphics.h"

namespace {

GraphicsState& g = graphicsState;

constexpr uint32_t kBlinkPhase = 320;     // the cursor blinks with a period of 640 ms
constexpr uint32_t kRepeatDelay = 280;    // a held key types again after this
constexpr uint32_t kRepeatInterval = 40;  // and then this often

enum Code : int32_t {
    Stop = 0,
    Home = 1,
    End = 2,
    Delete = 4,
    Backspace = 8,
    Enter = 13,
    Escape = 27,
    Right = 30,
    Left = 31,
};

// The scratch: kept while it is large enough, else made anew. Null when it cannot be made.
sysCanvas* scratchFor(const sysCanvas& front, int32_t lineHeight) {
    std::unique_ptr<sysCanvas>& scratch = g.inputScratch;
    if (scratch && scratch->width() >= front.width() && scratch->height() >= 2 * lineHeight) {
        return scratch.get();
    }
    scratch.reset();
    scratch = sysCanvas::create(front.width(), 2 * lineHeight, 0, g.display->surfaceFormat(), g.display, g.font);
    return scratch.get();
}

class LineEditor {
public:
    LineEditor(sysCanvas& front, sysCanvas& scratch, LineEditorInput& input)
        : front_(front), scratch_(scratch), input_(input), x_(g.console.x), y_(g.console.y),
          height_(moduleFontHeight()) {}

    std::string run() {
        scratch_.setFont(g.font);
        scratch_.setColour(g.colour);
        scratch_.blit(0, 0, front_, 0, y_, front_.width(), height_, true);
        bool finished = false;
        while (!finished) {
            finished = act(nextCode());
            redraw();
        }
        return text_;
    }

private:
    int32_t width(std::string_view text) const { return moduleTextWidth(text); }

    // Blinks the cursor until a key types a code (or a held key repeats); 0 when the
    // program must stop.
    int32_t nextCode() {
        const int32_t px = x_ + width(std::string_view(text_).substr(0, pos_));
        const int32_t cw = pos_ < text_.size() ? width(std::string_view(text_).substr(pos_, 1)) : width("X");
        const uint32_t start = input_.now();
        uint32_t lastPhase = UINT32_MAX;
        while (input_.pump()) {
            const uint32_t phase = (input_.now() - start) / kBlinkPhase;
            if (phase != lastPhase) {
                lastPhase = phase;
                drawCursorCell(px, cw, (phase & 1) == 0);
            }
            const int32_t key = input_.nextKey();
            if (const int32_t code = key ? input_.character(key) : 0) {
                repeatKey_ = key;
                repeatTime_ = input_.now();
                repeatDelay_ = kRepeatDelay;
                return code;
            }
            if (repeatKey_ != 0) {
                if (!input_.held(repeatKey_)) {
                    repeatKey_ = 0;
                } else if (input_.now() - repeatTime_ > repeatDelay_) {
                    if (const int32_t code = input_.character(repeatKey_)) {
                        repeatTime_ += repeatDelay_;
                        repeatDelay_ = kRepeatInterval;
                        return code;
                    }
                }
            }
            input_.wait();
        }
        return Stop;
    }

    // The cell under the cursor: an inverted block with the character in the Cls colour,
    // or the line's own background with the character in the drawing colour.
    void drawCursorCell(int32_t px, int32_t cw, bool cursorOn) {
        uint32_t characterColour = g.colour;
        if (cursorOn) {
            front_.setColour(g.clsColour ^ 0xFFFFFF);
            front_.rect(px, y_, cw, height_, true);
            characterColour = g.clsColour;
        } else {
            front_.blit(px, y_, scratch_, px, 0, cw, height_, true);
        }
        front_.setColour(characterColour);
        if (pos_ < text_.size()) {
            front_.text(px, y_, std::string_view(text_).substr(pos_, 1));
        }
    }

    // Applies a code; true when it finishes the edit.
    bool act(int32_t code) {
        switch (code) {
            case Enter:
                return true;
            case Stop:
                text_.clear();
                pos_ = 0;
                return true;
            case Escape:
                text_.clear();
                pos_ = 0;
                break;
            case Backspace:
                if (pos_ > 0) {
                    text_.erase(--pos_, 1);
                }
                break;
            case Delete:
                if (pos_ < text_.size()) {
                    text_.erase(pos_, 1);
                }
                break;
            case Home:
                pos_ = 0;
                break;
            case End:
                pos_ = text_.size();
                break;
            case Left:
                if (pos_ > 0) {
                    --pos_;
                }
                break;
            case Right:
                if (pos_ < text_.size()) {
                    ++pos_;
                }
                break;
            default:
                if (g.font && g.font->hasGlyph(code)) {
                    text_.insert(pos_++, 1, char(code));
                }
                break;
        }
        return false;
    }

    void redraw() {
        const int32_t lineWidth = front_.width();
        scratch_.blit(0, height_, scratch_, 0, 0, lineWidth, height_, true);
        scratch_.text(x_, height_, text_);
        front_.blit(0, y_, scratch_, 0, height_, lineWidth, height_, true);
    }

    sysCanvas& front_;
    sysCanvas& scratch_;
    LineEditorInput& input_;
    const int32_t x_;
    const int32_t y_;
    const int32_t height_;
    std::string text_;
    size_t pos_ = 0;
    int32_t repeatKey_ = 0;
    uint32_t repeatTime_ = 0;
    uint32_t repeatDelay_ = 0;
};

}  // namespace

std::string editConsoleLine(sysCanvas& front, LineEditorInput& input) {
    sysCanvas* scratch = scratchFor(front, moduleFontHeight());
    if (!scratch) {
        return std::string();
    }
    std::string text = LineEditor(front, *scratch, input).run();
    g.console.x = 0;
    g.console.y += moduleFontHeight();
    return text;
}
