// What canvas text drawing needs of a font: its cell height, the advance of a character
// and a way to draw a run of characters onto a canvas. Fonts implement it.
#pragma once

#include <cstdint>
#include <string_view>

class sysCanvas;

class FontFace {
public:
    virtual ~FontFace() = default;
    // Height of a character cell in pixels.
    virtual int32_t height() const = 0;
    // Advance of a character; one outside the font's range counts as its default character.
    virtual int32_t advance(uint8_t ch) const = 0;
    // Draws the run with its first character at the origin-relative (x, y) of the canvas,
    // in the ARGB colour, through blits onto the canvas (which clip to its viewport).
    virtual void drawRun(sysCanvas& canvas, int32_t x, int32_t y, std::string_view run, uint32_t argb) = 0;
};
