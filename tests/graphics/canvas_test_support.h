// Helpers shared by the canvas tests: canvases in each supported format and direct reads
// of surface memory, so that expectations do not go through the code under test.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "graphics/canvas.h"

struct NamedFormat {
    const char* name;
    SurfaceFormat format;
};

inline std::vector<NamedFormat> allFormats() {
    return {{"565", SurfaceFormat::rgb565()},
            {"555", SurfaceFormat::rgb555()},
            {"888", SurfaceFormat::rgb888()},
            {"8888", SurfaceFormat::xrgb8888()}};
}

inline std::unique_ptr<sysCanvas> makeCanvas(int32_t w, int32_t h, const SurfaceFormat& f) {
    return sysCanvas::create(w, h, CanvasSystemMemory, f, nullptr, nullptr);
}

// The native pixel stored at surface coordinates (x, y).
inline uint32_t nativeAt(const sysCanvas& c, int32_t x, int32_t y) {
    const int32_t bytes = c.surface().format().bytesPerPixel();
    const uint8_t* p = c.surface().pixels() + y * c.surface().pitch() + x * bytes;
    uint32_t v = 0;
    std::memcpy(&v, p, size_t(bytes));
    return v;
}

inline void storeNative(sysCanvas& c, int32_t x, int32_t y, uint32_t v) {
    const int32_t bytes = c.surface().format().bytesPerPixel();
    std::memcpy(c.surface().pixels() + y * c.surface().pitch() + x * bytes, &v, size_t(bytes));
}

// The whole picture as rows of native pixels, one character per pixel: '#' where the
// pixel equals `on`, '.' elsewhere.
inline std::vector<std::string> picture(const sysCanvas& c, uint32_t on) {
    std::vector<std::string> rows;
    for (int32_t y = 0; y < c.height(); ++y) {
        std::string row;
        for (int32_t x = 0; x < c.width(); ++x) {
            row += nativeAt(c, x, y) == on ? '#' : '.';
        }
        rows.push_back(row);
    }
    return rows;
}

// Every pixel of the canvas as native values, row by row.
inline std::vector<uint32_t> snapshot(const sysCanvas& c) {
    std::vector<uint32_t> all;
    for (int32_t y = 0; y < c.height(); ++y) {
        for (int32_t x = 0; x < c.width(); ++x) {
            all.push_back(nativeAt(c, x, y));
        }
    }
    return all;
}

inline void PrintTo(const NamedFormat& f, std::ostream* os) { *os << f.name; }
