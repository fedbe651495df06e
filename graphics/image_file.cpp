// Loading canvases from image files (decoded by the platform layer, copied once, upright,
// into the canvas's own format) and the runtime's own 24-bit bitmap writer.
#include "graphics/image_file.h"

#include <cstdio>
#include <vector>

#include "platform/image_decoder.h"
#include "platform/paths.h"

namespace {

constexpr uint32_t kBitmapHeadersSize = 54;

// One decoded row (ARGB words) into a canvas row of its format: 32-bit X8R8G8B8, what
// windowed displays use, by masking; every other layout through the pixel writer.
void writeRow(const PixelFormat& format, uint8_t* to, const uint32_t* from, int32_t width) {
    const bool xrgb8888 = format.depth == 32 && format.alphaMask == 0 && format.redMask == 0x00FF0000 &&
                          format.greenMask == 0x0000FF00 && format.blueMask == 0x000000FF;
    if (xrgb8888) {
        uint32_t* out = reinterpret_cast<uint32_t*>(to);
        for (int32_t x = 0; x < width; ++x) {
            out[x] = from[x] & 0x00FFFFFF;
        }
        return;
    }
    for (int32_t x = 0; x < width; ++x) {
        format.write(to + x * format.bytesPerPixel, from[x]);
    }
}

void put16(uint8_t* at, uint32_t value) {
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}

void put32(uint8_t* at, uint32_t value) {
    put16(at, value);
    put16(at + 2, value >> 16);
}

}  // namespace

std::unique_ptr<sysCanvas> loadCanvasFile(const std::string& file, uint32_t flags, const SurfaceFormat& format,
                                          sysGraphics* owner, FontFace* font) {
    const std::unique_ptr<DecodedImage> picture = DecodedImage::load(resolvePath(file));
    if (!picture) {
        return nullptr;
    }
    std::unique_ptr<sysCanvas> canvas = sysCanvas::create(picture->width(), picture->height(), flags, format, owner, font);
    if (!canvas) {
        return nullptr;
    }
    const bool drawable = canvas->lock();
    if (drawable) {
        for (int32_t y = 0; y < picture->height(); ++y) {
            writeRow(canvas->pixelFormat(), canvas->pixelAt(0, y), picture->row(y), picture->width());
        }
    }
    canvas->unlock();
    if (!drawable) {
        return nullptr;
    }
    canvas->markModified(canvas->surfaceRect());
    return canvas;
}

bool saveCanvasBitmap(sysCanvas& canvas, const std::string& file) {
    std::FILE* out = std::fopen(resolvePath(file).c_str(), "wb");
    if (!out) {
        return false;
    }
    const uint32_t width = uint32_t(canvas.width());
    const uint32_t height = uint32_t(canvas.height());
    const uint32_t rowSize = (width * 3 + 3) & ~3u;
    uint8_t headers[kBitmapHeadersSize] = {'B', 'M'};
    put32(headers + 2, height * rowSize + kBitmapHeadersSize);
    put32(headers + 10, kBitmapHeadersSize);
    put32(headers + 14, 40);
    put32(headers + 18, width);
    put32(headers + 22, height);
    put16(headers + 26, 1);
    put16(headers + 28, 24);
    bool good = std::fwrite(headers, 1, sizeof headers, out) == sizeof headers;

    std::vector<uint8_t> row(rowSize, 0);
    good = canvas.lock() && good;
    for (int32_t y = int32_t(height) - 1; good && y >= 0; --y) {
        for (int32_t x = 0; x < int32_t(width); ++x) {
            const uint32_t argb = canvas.getPixelRaw(x, y);
            row[3 * x] = uint8_t(argb);
            row[3 * x + 1] = uint8_t(argb >> 8);
            row[3 * x + 2] = uint8_t(argb >> 16);
        }
        good = std::fwrite(row.data(), 1, rowSize, out) == rowSize;
    }
    canvas.unlock();
    // Buffered bytes reach the file only here: a full disk shows now.
    return std::fclose(out) == 0 && good;
}
