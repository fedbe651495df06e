// Loading a font into its glyph sheet and drawing runs of text with blits: fill the
// scratch with the text colour, stamp each cell from the sheet (whose white glyph pixels
// are skipped, so they keep the colour), then one black-keyed blit onto the target.
#include "graphics/sys_font.h"

#include <algorithm>
#include <climits>

#include "platform/font_rasterizer.h"
#include "platform/paths.h"

namespace {

// The face a font file's name stands for: its file part up to the first '.', or the
// whole file part when that would be empty (".ttf").
std::string faceNameOf(const std::string& path) {
    const std::string file = path.substr(path.rfind('/') + 1);
    const std::string stem = file.substr(0, file.find('.'));
    return stem.empty() ? file : stem;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// Turns the rasterizer's 8-bit picture into white pixels on the (black) sheet.
bool paintSheet(sysCanvas& sheet, const std::vector<uint8_t>& ink) {
    if (!sheet.lock()) {
        sheet.unlock();
        return false;
    }
    const PixelFormat& format = sheet.pixelFormat();
    for (int32_t y = 0; y < sheet.height(); ++y) {
        const uint8_t* row = ink.data() + size_t(y) * size_t(sheet.width());
        for (int32_t x = 0; x < sheet.width(); ++x) {
            if (row[x] != 0) {
                format.write(sheet.pixelAt(x, y), 0xFFFFFFFF);
            }
        }
    }
    sheet.unlock();
    return true;
}

// The face a load asks for. A name with a '.' names a font file, added once per display.
std::optional<FaceMatch> faceFor(const std::string& name, int flags, std::vector<std::string>& addedFontFiles) {
    FaceQuery query{name, (flags & sysFont::Bold) != 0, (flags & sysFont::Italic) != 0, {}};
    if (name.find('.') != std::string::npos) {
        const std::string path = resolvePath(name);
        query.family = faceNameOf(path);
        const std::string file = canonicalFontPath(path);
        if (!file.empty() && !contains(addedFontFiles, file) && addFontFile(file)) {
            addedFontFiles.push_back(file);
        }
        if (!file.empty() && contains(addedFontFiles, file)) {
            query.addedFile = file;
        }
    }
    return findFace(query);
}

}  // namespace

std::unique_ptr<sysFont> sysFont::load(const std::string& name, int height, int flags, const SurfaceFormat& format,
                                       int frontWidth, sysGraphics* owner,
                                       std::vector<std::string>& addedFontFiles) {
    if (height < RasterFace::minCellHeight || height > RasterFace::maxCellHeight || frontWidth <= 0) {
        return nullptr;
    }
    const auto match = faceFor(name, flags, addedFontFiles);
    if (!match) {
        return nullptr;
    }
    const FaceStyle style{(flags & Bold) != 0, (flags & Italic) != 0, (flags & Underline) != 0};
    const auto face = RasterFace::open(*match, height, style);
    if (!face) {
        return nullptr;
    }
    std::unique_ptr<sysFont> font(new sysFont());
    font->owner_ = owner;
    font->format_ = format;
    font->height_ = face->cellHeight();
    font->first_ = RasterFace::first;
    font->end_ = RasterFace::last + 1;
    const bool defaultInRange = face->defaultChar() >= font->first_ && face->defaultChar() < font->end_;
    font->default_ = defaultInRange ? face->defaultChar() : font->first_;
    font->widestAdvance_ = face->widestAdvance();
    if (!font->makeSheet(*face, frontWidth)) {
        return nullptr;
    }
    font->scratch_ = sysCanvas::create(std::max(frontWidth, font->widestAdvance_), font->height_, CanvasPlaced,
                                       format, owner, nullptr);
    if (!font->scratch_) {
        return nullptr;
    }
    return font;
}

bool sysFont::makeSheet(const RasterFace& face, int32_t frontWidth) {
    // Cells left to right, a new row when the next one would pass the front buffer's width.
    int32_t x = 0;
    int32_t y = 0;
    int32_t sheetWidth = 1;
    for (int32_t code = first_; code < end_; ++code) {
        const int32_t w = face.advance(code);
        if (x != 0 && int64_t(x) + w > frontWidth) {
            y += height_;
            x = 0;
        }
        if (x > 0xFFFF || y > 0xFFFF) {
            return false;
        }
        placement_.push_back(uint32_t(x) << 16 | uint32_t(y));
        advances_.push_back(w);
        x += w;
        sheetWidth = std::max(sheetWidth, x);
    }
    const int32_t sheetHeight = y + height_;
    sheet_ = sysCanvas::create(sheetWidth, sheetHeight, CanvasPlaced, format_, owner_, nullptr);
    if (!sheet_) {
        return false;
    }
    std::vector<uint8_t> ink(size_t(sheetWidth) * size_t(sheetHeight), 0);
    GlyphBitmap bitmap{ink.data(), sheetWidth, sheetHeight, sheetWidth};
    for (int32_t code = first_; code < end_; ++code) {
        const uint32_t place = placement_[size_t(code - first_)];
        face.render(code, bitmap, int32_t(place >> 16), int32_t(place & 0xFFFF));
    }
    sheet_->setMaskColour(0xFFFFFF);
    return paintSheet(*sheet_, ink);
}

void sysFont::forgetFontFiles(std::vector<std::string>& addedFontFiles) {
    if (!addedFontFiles.empty()) {
        ::forgetFontFiles();
    }
    addedFontFiles.clear();
}

int32_t sysFont::stringWidth(std::string_view text) const {
    int64_t width = 0;
    for (const char c : text) {
        width += advance(uint8_t(c));
    }
    return int32_t(std::min<int64_t>(width, INT32_MAX));
}

void sysFont::drawRun(sysCanvas& target, int32_t x, int32_t y, std::string_view run, uint32_t argb) {
    const int64_t width = stringWidth(run);
    if (width > scratch_->width()) {
        // A wider scratch when it can be made; otherwise the run goes in pieces.
        if (auto wider = sysCanvas::create(int32_t(width), height_, CanvasPlaced, format_, owner_, nullptr)) {
            scratch_ = std::move(wider);
        }
    }
    int64_t pen = x;
    size_t start = 0;
    while (start < run.size() && pen <= INT32_MAX) {
        int32_t pieceWidth = 0;
        size_t end = start;
        while (end < run.size()) {
            const int32_t w = advance(uint8_t(run[end]));
            if (end > start && pieceWidth + w > scratch_->width()) {
                break;
            }
            pieceWidth += w;
            ++end;
        }
        drawPiece(target, int32_t(pen), y, run.substr(start, end - start), pieceWidth, argb);
        pen += pieceWidth;
        start = end;
    }
}

void sysFont::drawPiece(sysCanvas& target, int32_t x, int32_t y, std::string_view piece, int32_t width,
                        uint32_t argb) {
    if (width <= 0) {
        return;
    }
    sysCanvas& scratch = *scratch_;
    // Black is the scratch's mask colour: text that would store as black is drawn in a
    // blue of 16 so that it still shows.
    scratch.setColour(argb);
    if ((scratch.colour() & 0xFFFFFF) == 0) {
        scratch.setColour(0x000010);
    }
    scratch.rect(0, 0, width, height_, true);
    int32_t pen = 0;
    for (const char c : piece) {
        const int32_t i = index(uint8_t(c));
        const uint32_t place = placement_[size_t(i)];
        scratch.blit(pen, 0, *sheet_, int32_t(place >> 16), int32_t(place & 0xFFFF), advances_[size_t(i)], height_,
                     false);
        pen += advances_[size_t(i)];
    }
    target.blit(x, y, scratch, 0, 0, width, height_, false);
}
