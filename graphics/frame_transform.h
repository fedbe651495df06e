// The frame transform: resamples a canvas through a 2 x 2 matrix about an anchor point into
// a new canvas, bilinear or nearest-pixel as the module's TFormFilter flag says. Used by the
// image transform commands and by LoadBuffer.
#pragma once

#include <cstdint>
#include <memory>

#include "graphics/canvas.h"

// The largest frame a transform makes: 4096 x 4096 pixels in area (64 MiB at 32 bits) and
// the surfaces' own limit per side. A bigger, empty or unbounded result (a zero scale, a
// singular matrix, NaN) is not made.
constexpr int64_t kMaxTransformPixels = int64_t(4096) * 4096;
constexpr int32_t kMaxTransformSide = 32768;

// The frame point (u, v), measured from (anchorX, anchorY), lands on (a·u + c·v, b·u + d·v)
// from the new canvas's handle, which is where the anchor lands. The new canvas has the
// source's format, owner and mask colour and belongs to the caller; the source is not
// changed. Null when the result would be too large, empty or unbounded, or cannot be made.
std::unique_ptr<sysCanvas> transformFrame(const sysCanvas& source, float a, float b, float c, float d,
                                          int32_t anchorX, int32_t anchorY);
