// Fontconfig finds faces and keeps the run's added font files; FreeType sizes a face by
// its cell height and renders its glyphs monochrome. Program thread only.
#include "platform/font_rasterizer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "platform/windows1252.h"

namespace {

const FcChar8* fcText(const std::string& s) { return reinterpret_cast<const FcChar8*>(s.c_str()); }

// Families that programs name expecting a monospaced face, whatever is installed.
bool wantsMonospace(const std::string& family) {
  return FcStrCmpIgnoreCase(fcText(family), fcText("courier")) == 0 ||
         FcStrCmpIgnoreCase(fcText(family), fcText("courier new")) == 0;
}

// A request for weight 700 or 400 and an italic or upright slant.
FcPattern* styleRequest(bool bold, bool italic) {
  FcPattern* request = FcPatternCreate();
  FcPatternAddInteger(request, FC_WEIGHT, FcWeightFromOpenType(bold ? 700 : 400));
  FcPatternAddInteger(request, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  return request;
}

bool hasFamily(FcPattern* face, const std::string& family) {
  FcChar8* name = nullptr;
  for (int i = 0; FcPatternGetString(face, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
    if (FcStrCmpIgnoreCase(name, fcText(family)) == 0) {
      return true;
    }
  }
  return false;
}

std::optional<FaceMatch> toMatch(FcPattern* face) {
  FcChar8* file = nullptr;
  if (face == nullptr || FcPatternGetString(face, FC_FILE, 0, &file) != FcResultMatch) {
    return std::nullopt;
  }
  FaceMatch match;
  match.file = reinterpret_cast<const char*>(file);
  FcPatternGetInteger(face, FC_INDEX, 0, &match.index);
  FcChar8* family = nullptr;
  if (FcPatternGetString(face, FC_FAMILY, 0, &family) == FcResultMatch) {
    match.family = reinterpret_cast<const char*>(family);
  }
  int weight = FC_WEIGHT_REGULAR;
  int slant = FC_SLANT_ROMAN;
  FcPatternGetInteger(face, FC_WEIGHT, 0, &weight);
  FcPatternGetInteger(face, FC_SLANT, 0, &slant);
  // Fontconfig's own synthesis marks a regular face chosen for a bold or italic request as
  // bold (embolden) or oblique (a shear matrix); the face itself has neither then.
  FcBool embolden = FcFalse;
  FcPatternGetBool(face, FC_EMBOLDEN, 0, &embolden);
  FcMatrix* matrix = nullptr;
  const bool sheared = FcPatternGetMatrix(face, FC_MATRIX, 0, &matrix) == FcResultMatch && matrix->xy != 0;
  match.bold = weight >= FC_WEIGHT_DEMIBOLD && !embolden;
  match.italic = slant != FC_SLANT_ROMAN && !sheared;
  return match;
}

FcPattern* bestMatch(const std::string& family, bool bold, bool italic) {
  FcPattern* request = styleRequest(bold, italic);
  FcPatternAddString(request, FC_FAMILY, fcText(family));
  FcConfigSubstitute(nullptr, request, FcMatchPattern);
  FcDefaultSubstitute(request);
  FcResult result = FcResultNoMatch;
  FcPattern* face = FcFontMatch(nullptr, request, &result);
  FcPatternDestroy(request);
  return face;
}

bool monospaced(FcPattern* face) {
  int spacing = FC_PROPORTIONAL;
  return face != nullptr && FcPatternGetInteger(face, FC_SPACING, 0, &spacing) == FcResultMatch &&
         spacing >= FC_MONO;
}

// Fontconfig's best match for the family in the requested style.
FcPattern* matchFamily(const std::string& family, bool bold, bool italic) {
  FcPattern* face = bestMatch(family, bold, italic);
  if (wantsMonospace(family) && !monospaced(face)) {
    if (FcPattern* mono = bestMatch("monospace", bold, italic)) {
      if (face != nullptr) {
        FcPatternDestroy(face);
      }
      face = mono;
    }
  }
  return face;
}

// The best of the faces that an added file holds, by style alone; null when the file is
// not (or no longer) among the added fonts.
FcPattern* matchInAddedFile(const std::string& path, bool bold, bool italic) {
  FcFontSet* added = FcConfigGetFonts(nullptr, FcSetApplication);
  if (added == nullptr) {
    return nullptr;
  }
  FcFontSet* own = FcFontSetCreate();
  for (int i = 0; i < added->nfont; ++i) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(added->fonts[i], FC_FILE, 0, &file) == FcResultMatch &&
        FcStrCmp(file, fcText(path)) == 0) {
      FcFontSetAdd(own, FcPatternDuplicate(added->fonts[i]));
    }
  }
  FcPattern* face = nullptr;
  if (own->nfont > 0) {
    FcPattern* request = styleRequest(bold, italic);
    FcDefaultSubstitute(request);
    FcResult result = FcResultNoMatch;
    face = FcFontSetMatch(nullptr, &own, 1, request, &result);
    FcPatternDestroy(request);
  }
  FcFontSetDestroy(own);
  return face;
}

}  // namespace

std::string canonicalFontPath(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) {
    return {};
  }
  std::string canonical = real;
  std::free(real);
  struct stat info {};
  if (stat(canonical.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return {};
  }
  return canonical;
}

bool addFontFile(const std::string& path) {
  const std::string file = canonicalFontPath(path);
  return !file.empty() && FcConfigAppFontAddFile(nullptr, fcText(file)) == FcTrue;
}

void forgetFontFiles() { FcConfigAppFontClear(nullptr); }

std::optional<FaceMatch> findFace(const FaceQuery& query) {
  FcPattern* best = matchFamily(query.family, query.bold, query.italic);
  std::optional<FaceMatch> match;
  if (best != nullptr && !query.family.empty() && hasFamily(best, query.family)) {
    match = toMatch(best);
  } else if (!query.addedFile.empty()) {
    if (FcPattern* own = matchInAddedFile(query.addedFile, query.bold, query.italic)) {
      match = toMatch(own);
      FcPatternDestroy(own);
    }
  }
  if (!match) {
    match = toMatch(best);
  }
  if (best != nullptr) {
    FcPatternDestroy(best);
  }
  return match;
}

// ---- Rasterised faces ----

struct RasterFace::Impl {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  // Extra pixels each ink pixel is repeated to its right (synthetic bold; 0 for none).
  int32_t boldExtra = 0;
  bool underline = false;
  int32_t underlineTop = 0;
  int32_t underlineRows = 0;
  FT_UInt glyphs[RasterFace::last - RasterFace::first + 1] = {};

  ~Impl() {
    if (face != nullptr) {
      FT_Done_Face(face);
    }
    if (library != nullptr) {
      FT_Done_FreeType(library);
    }
  }

  // The glyph of each code: by Unicode, or through a symbol font's own code page.
  void mapCodes() {
    const bool unicode = FT_Select_Charmap(face, FT_ENCODING_UNICODE) == 0;
    const bool symbol = !unicode && FT_Select_Charmap(face, FT_ENCODING_MS_SYMBOL) == 0;
    if (!unicode && !symbol && face->num_charmaps > 0) {
      FT_Set_Charmap(face, face->charmaps[0]);
    }
    for (int32_t code = RasterFace::first; code <= RasterFace::last; ++code) {
      FT_UInt glyph = 0;
      if (unicode) {
        glyph = FT_Get_Char_Index(face, windows1252ToUnicode(uint8_t(code)));
      } else if (symbol) {
        glyph = FT_Get_Char_Index(face, 0xF000u + uint32_t(code));
      }
      if (glyph == 0 && !unicode) {
        glyph = FT_Get_Char_Index(face, FT_ULong(code));
      }
      glyphs[code - RasterFace::first] = glyph;
    }
  }

  // Loads a code's glyph as a monochrome bitmap in the slot.
  bool loadBitmap(int32_t code) const {
    if (FT_Load_Glyph(face, glyphs[code - RasterFace::first], FT_LOAD_TARGET_MONO) != 0) {
      return false;
    }
    if (face->glyph->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) != 0) {
      return false;
    }
    return true;
  }
};

namespace {

// Sizes a face without outlines with its strike nearest to the requested height; returns
// that strike's height, or 0 when the face has none that can be selected.
int32_t selectNearestStrike(FT_Face face, int32_t cellHeight) {
  int best = -1;
  for (int i = 0; i < face->num_fixed_sizes; ++i) {
    if (best < 0 || std::abs(face->available_sizes[i].height - cellHeight) <
                        std::abs(face->available_sizes[best].height - cellHeight)) {
      best = i;
    }
  }
  if (best < 0 || FT_Select_Size(face, best) != 0) {
    return 0;
  }
  return std::max<int32_t>(1, face->available_sizes[best].height);
}

// Whether a glyph pixel of any bitmap kind FreeType hands back has ink.
bool inked(const FT_Bitmap& bitmap, const uint8_t* row, uint32_t col) {
  switch (bitmap.pixel_mode) {
    case FT_PIXEL_MODE_MONO:
      return (row[col >> 3] & (0x80 >> (col & 7))) != 0;
    case FT_PIXEL_MODE_GRAY:
      return row[col] >= 128;
    case FT_PIXEL_MODE_BGRA:
      return row[col * 4 + 3] >= 128;
    default:
      return false;
  }
}

}  // namespace

RasterFace::RasterFace(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

RasterFace::~RasterFace() = default;

std::unique_ptr<RasterFace> RasterFace::open(const FaceMatch& match, int32_t cellHeight, const FaceStyle& style) {
  if (cellHeight < minCellHeight || cellHeight > maxCellHeight) {
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  if (FT_Init_FreeType(&impl->library) != 0) {
    impl->library = nullptr;
    return nullptr;
  }
  if (FT_New_Face(impl->library, match.file.c_str(), match.index, &impl->face) != 0) {
    impl->face = nullptr;
    return nullptr;
  }
  FT_Face face = impl->face;
  std::unique_ptr<RasterFace> raster(new RasterFace(std::move(impl)));
  if (FT_IS_SCALABLE(face)) {
    FT_Size_RequestRec request{FT_SIZE_REQUEST_TYPE_CELL, 0, FT_Long(cellHeight) * 64, 0, 0};
    if (face->ascender - face->descender <= 0 || FT_Request_Size(face, &request) != 0) {
      return nullptr;
    }
    // Ascent from the unrounded scaled ascender; the descent is the rest of the cell, so
    // the cell is exactly the height asked for.
    const FT_Long ascender = FT_MulFix(face->ascender, face->size->metrics.y_scale);
    raster->cellHeight_ = cellHeight;
    raster->ascent_ = std::clamp(int32_t((ascender + 32) >> 6), 0, cellHeight);
  } else {
    const int32_t strikeHeight = selectNearestStrike(face, cellHeight);
    if (strikeHeight == 0) {
      return nullptr;
    }
    const FT_Size_Metrics& m = face->size->metrics;
    raster->cellHeight_ = int32_t((m.ascender - m.descender + 32) >> 6);
    raster->ascent_ = int32_t((m.ascender + 32) >> 6);
    if (raster->cellHeight_ <= 0) {
      raster->cellHeight_ = strikeHeight;
      raster->ascent_ = strikeHeight;
    }
    raster->cellHeight_ = std::clamp(raster->cellHeight_, minCellHeight, maxCellHeight);
    raster->ascent_ = std::clamp(raster->ascent_, 0, raster->cellHeight_);
  }
  Impl& in = *raster->impl_;
  if (style.bold && !match.bold) {
    in.boldExtra = std::max(1, raster->cellHeight_ / 32);
  }
  if (style.italic && !match.italic) {
    // The slant of an oblique face: x moves right by about a fifth of the height.
    FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000};
    FT_Set_Transform(face, &shear, nullptr);
  }
  if (style.underline) {
    in.underline = true;
    const FT_Fixed scale = face->size->metrics.y_scale;
    const int32_t thickness = FT_IS_SCALABLE(face) ? int32_t((FT_MulFix(face->underline_thickness, scale) + 32) >> 6) : 0;
    const int32_t below = FT_IS_SCALABLE(face) ? int32_t((-FT_MulFix(face->underline_position, scale) + 32) >> 6) : 1;
    in.underlineRows = std::clamp(thickness, 1, raster->cellHeight_);
    in.underlineTop = std::clamp(raster->ascent_ + std::max(1, below) - in.underlineRows / 2, 0,
                                 raster->cellHeight_ - in.underlineRows);
  }
  in.mapCodes();
  if (!raster->measure()) {
    return nullptr;
  }
  return raster;
}

bool RasterFace::measure() {
  for (int32_t code = first; code <= last; ++code) {
    int32_t width = 0;
    if (FT_Load_Glyph(impl_->face, impl_->glyphs[code - first], FT_LOAD_TARGET_MONO) == 0) {
      width = int32_t((impl_->face->glyph->advance.x + 32) >> 6);
    } else if (code == defaultChar()) {
      return false;
    }
    width = std::clamp(width, 0, 4 * maxCellHeight);
    if (width > 0) {
      width += impl_->boldExtra;
    }
    advances_[code - first] = width;
    widest_ = std::max(widest_, width);
  }
  return true;
}

int32_t RasterFace::advance(int32_t code) const {
  return code >= first && code <= last ? advances_[code - first] : 0;
}

void RasterFace::render(int32_t code, GlyphBitmap& target, int32_t cellX, int32_t cellY) const {
  if (code < first || code > last) {
    return;
  }
  // The cell cut to the bitmap, as 64-bit edges so no position can overflow.
  const int64_t left = std::max<int64_t>(cellX, 0);
  const int64_t top = std::max<int64_t>(cellY, 0);
  const int64_t right = std::min<int64_t>(int64_t(cellX) + advance(code), target.width);
  const int64_t bottom = std::min<int64_t>(int64_t(cellY) + cellHeight_, target.height);
  if (left >= right || top >= bottom) {
    return;
  }
  auto ink = [&](int64_t x, int64_t y) {
    if (x >= left && x < right && y >= top && y < bottom) {
      target.pixels[y * target.pitch + x] = 255;
    }
  };
  if (impl_->underline) {
    for (int32_t row = 0; row < impl_->underlineRows; ++row) {
      for (int64_t x = left; x < right; ++x) {
        ink(x, int64_t(cellY) + impl_->underlineTop + row);
      }
    }
  }
  if (!impl_->loadBitmap(code)) {
    return;
  }
  const FT_GlyphSlot slot = impl_->face->glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  const int64_t originX = int64_t(cellX) + slot->bitmap_left;
  const int64_t originY = int64_t(cellY) + ascent_ - slot->bitmap_top;
  for (uint32_t row = 0; row < bitmap.rows; ++row) {
    const uint8_t* bits = bitmap.buffer + int64_t(row) * bitmap.pitch;
    if (bitmap.pitch < 0) {
      bits = bitmap.buffer + (int64_t(bitmap.rows) - 1 - row) * -int64_t(bitmap.pitch);
    }
    for (uint32_t col = 0; col < bitmap.width; ++col) {
      if (inked(bitmap, bits, col)) {
        for (int32_t extra = 0; extra <= impl_->boldExtra; ++extra) {
          ink(originX + col + extra, originY + row);
        }
      }
    }
  }
}
