// FreeType used directly, as the font tests' yardstick: a face file sized by cell height,
// the advance and the monochrome bitmap of a code point loaded with FT_LOAD_TARGET_MONO,
// and font files copied under new names into a scratch folder.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

inline const std::string liberationDir = "/usr/share/fonts/truetype/liberation/";
inline const std::string dejavuDir = "/usr/share/fonts/truetype/dejavu/";

class FreeTypeReference {
 public:
  FreeTypeReference(const std::string& file, int index, int cellHeight) {
    if (FT_Init_FreeType(&library_) != 0 || FT_New_Face(library_, file.c_str(), index, &face_) != 0) {
      face_ = nullptr;
      return;
    }
    FT_Size_RequestRec request{FT_SIZE_REQUEST_TYPE_CELL, 0, FT_Long(cellHeight) * 64, 0, 0};
    FT_Request_Size(face_, &request);
  }
  ~FreeTypeReference() {
    if (face_ != nullptr) {
      FT_Done_Face(face_);
    }
    FT_Done_FreeType(library_);
  }
  FreeTypeReference(const FreeTypeReference&) = delete;
  FreeTypeReference& operator=(const FreeTypeReference&) = delete;

  bool valid() const { return face_ != nullptr; }
  bool fixedWidth() const { return FT_IS_FIXED_WIDTH(face_); }
  std::string family() const { return face_->family_name; }

  int advance(uint32_t codePoint) const {
    if (FT_Load_Char(face_, codePoint, FT_LOAD_TARGET_MONO) != 0) {
      return -1;
    }
    return int((face_->glyph->advance.x + 32) >> 6);
  }

  // The glyph's ink as rows of '#' and '.', with its offset from the pen on the baseline.
  struct Glyph {
    int left = 0;
    int top = 0;
    std::vector<std::string> rows;
  };
  Glyph glyph(uint32_t codePoint) const {
    Glyph g;
    if (FT_Load_Char(face_, codePoint, FT_LOAD_TARGET_MONO) != 0 ||
        FT_Render_Glyph(face_->glyph, FT_RENDER_MODE_MONO) != 0) {
      return g;
    }
    const FT_Bitmap& b = face_->glyph->bitmap;
    g.left = face_->glyph->bitmap_left;
    g.top = face_->glyph->bitmap_top;
    for (unsigned r = 0; r < b.rows; ++r) {
      std::string row;
      for (unsigned c = 0; c < b.width; ++c) {
        row += (b.buffer[r * b.pitch + c / 8] & (0x80 >> (c % 8))) ? '#' : '.';
      }
      g.rows.push_back(row);
    }
    return g;
  }

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

// A scratch folder removed at the end of a test.
class ScratchFolder {
 public:
  ScratchFolder() {
    char pattern[] = "/tmp/ks_fonts_XXXXXX";
    if (::mkdtemp(pattern) != nullptr) {
      path = pattern;
    }
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  // Copies a file in under a new name and returns its path.
  std::string copy(const std::string& from, const std::string& name) const {
    const std::string to = path + "/" + name;
    std::filesystem::create_directories(std::filesystem::path(to).parent_path());
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    return to;
  }
  std::string path;
};
