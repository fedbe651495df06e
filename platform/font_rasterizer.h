// Fonts through fontconfig and FreeType: font files added for a run, finding a face by
// family and style, and a face opened at a cell height that measures and renders the
// character codes 32..255 (Windows-1252 bytes) as monochrome glyphs. No FreeType or
// fontconfig type appears here; this is the only place that talks to either library.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Adds a font file to the fonts of the run. The path must name a regular file that holds
// at least one face; false otherwise (nothing is added then).
bool addFontFile(const std::string& path);

// Forgets every font file added with addFontFile. Fontconfig keeps one set of added fonts
// for the process, so this forgets them all at once.
void forgetFontFiles();

// What a program asks for. `addedFile`, when not empty, is the canonical path of a file
// the program named and that was added (addFontFile) for this face.
struct FaceQuery {
  std::string family;
  bool bold = false;
  bool italic = false;
  std::string addedFile;
};

// A face that fontconfig found: where it is, and the weight and slant it really has.
struct FaceMatch {
  std::string file;
  int32_t index = 0;
  std::string family;
  bool bold = false;
  bool italic = false;
};

// The face for a query, in this order: an installed or added family whose name is the
// requested one (letter case ignored); else the best face of the query's added file, while
// that file is still added; else fontconfig's best match for the family (so a missing name
// still gives a face). "courier" and "courier new" fall back to a monospaced family.
// Empty only when fontconfig has no font at all.
std::optional<FaceMatch> findFace(const FaceQuery& query);

// The canonical absolute path of an existing regular file; empty when there is none.
std::string canonicalFontPath(const std::string& path);

// An 8-bit picture the rasterizer draws into: a pixel is 255 where a glyph has ink.
// Pixels without ink are left as they are.
struct GlyphBitmap {
  uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t pitch = 0;
};

// What to draw beyond the matched face: bold and italic are synthesised when the face
// lacks them (a wider stroke, a slant), underline is drawn in every cell.
struct FaceStyle {
  bool bold = false;
  bool italic = false;
  bool underline = false;
};

class RasterFace {
 public:
  // Smallest and largest cell height a face is opened at.
  static constexpr int32_t minCellHeight = 1;
  static constexpr int32_t maxCellHeight = 256;
  static constexpr int32_t first = 32;
  static constexpr int32_t last = 255;

  // Opens the matched face with `cellHeight` as ascent + descent. A face without outlines
  // gets its bitmap size nearest to the request. Null when the file cannot be opened, the
  // height is outside [minCellHeight, maxCellHeight] or the face cannot be sized.
  static std::unique_ptr<RasterFace> open(const FaceMatch& match, int32_t cellHeight, const FaceStyle& style);
  ~RasterFace();
  RasterFace(const RasterFace&) = delete;
  RasterFace& operator=(const RasterFace&) = delete;

  int32_t cellHeight() const { return cellHeight_; }
  int32_t ascent() const { return ascent_; }
  // A code whose cell shows the face's missing-glyph box (DEL has no glyph in text faces).
  int32_t defaultChar() const { return 127; }
  // The largest advance of the codes first..last.
  int32_t widestAdvance() const { return widest_; }
  // Cell width of a code in [first, last]; 0 for any other code.
  int32_t advance(int32_t code) const;
  // Draws a code's glyph with its cell's top-left at (cellX, cellY), clipped to the cell
  // (advance x cell height) and to the bitmap. Codes outside [first, last] draw nothing.
  void render(int32_t code, GlyphBitmap& target, int32_t cellX, int32_t cellY) const;

 private:
  struct Impl;
  explicit RasterFace(std::unique_ptr<Impl> impl);
  bool measure();

  std::unique_ptr<Impl> impl_;
  int32_t cellHeight_ = 0;
  int32_t ascent_ = 0;
  int32_t widest_ = 0;
  int32_t advances_[last - first + 1] = {};
};
