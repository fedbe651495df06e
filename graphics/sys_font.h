// sysFont: a face rendered once, at load time, into a glyph sheet (white glyphs on black)
// and drawn with blits from it, so text works on every canvas without going back to the
// rasterizer. Owned by the display that loads it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/canvas.h"
#include "graphics/font_face.h"

class RasterFace;

class sysFont final : public FontFace {
public:
    // Flags of a load: bit 0 bold, bit 1 italic, bit 2 underline.
    enum : int { Bold = 1, Italic = 2, Underline = 4 };

    // Null when the face cannot be made (silent failure), including a height outside
    // 1..256. A name with a '.' names a font file: it is added for the run (once; the
    // canonical path goes into `addedFontFiles`) and its face is the one named by the
    // file part before the first '.', or else the file's own face. `format` is the
    // display's surface format, `frontWidth` the front buffer's width (the sheet's row
    // width and the first scratch width), `owner` the display (stored in the canvases).
    static std::unique_ptr<sysFont> load(const std::string& name, int height, int flags,
                                         const SurfaceFormat& format, int frontWidth, sysGraphics* owner,
                                         std::vector<std::string>& addedFontFiles);

    // Forgets every font file added for the display and empties its list (the display
    // calls this when it closes, after destroying its fonts).
    static void forgetFontFiles(std::vector<std::string>& addedFontFiles);

    sysGraphics* owner() const { return owner_; }
    // Whether the code lies in the font's range [first, end).
    bool hasGlyph(int32_t code) const { return code >= first_ && code < end_; }
    int32_t advance(uint8_t code) const override { return advances_[index(code)]; }
    // Sum of the advances of the text's characters (0 for an empty text).
    int32_t stringWidth(std::string_view text) const;
    int32_t height() const override { return height_; }
    int32_t widestAdvance() const { return widestAdvance_; }
    int32_t first() const { return first_; }
    int32_t end() const { return end_; }
    int32_t defaultChar() const { return default_; }
    const sysCanvas& glyphSheet() const { return *sheet_; }
    int32_t scratchWidth() const { return scratch_->width(); }

    void drawRun(sysCanvas& target, int32_t x, int32_t y, std::string_view run, uint32_t argb) override;

private:
    sysFont() = default;
    // The table index of a code; a code outside the range reads as the default character.
    int32_t index(uint8_t code) const {
        return (code < first_ || code >= end_ ? default_ : code) - first_;
    }
    // Lays the cells out in rows no wider than the front buffer and renders the sheet.
    bool makeSheet(const RasterFace& face, int32_t frontWidth);
    // Composes a run no wider than the scratch and blits it to the target.
    void drawPiece(sysCanvas& target, int32_t x, int32_t y, std::string_view piece, int32_t width, uint32_t argb);

    sysGraphics* owner_ = nullptr;
    std::unique_ptr<sysCanvas> sheet_;
    std::unique_ptr<sysCanvas> scratch_;
    SurfaceFormat format_;
    int32_t widestAdvance_ = 0;
    int32_t height_ = 0;
    int32_t first_ = 0;
    int32_t end_ = 0;
    int32_t default_ = 0;
    // Per code from first: x << 16 | y of its cell in the sheet, and its width.
    std::vector<uint32_t> placement_;
    std::vector<int32_t> advances_;
};
