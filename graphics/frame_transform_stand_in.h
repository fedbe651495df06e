// TEMPORARY: a stand-in for the images module's frame transform until it is merged. Same
// signature and sizing; nearest-pixel sampling only, whatever the filter setting. LoadBuffer
// is its only caller; it goes when the real transformFrame arrives.
#pragma once

#include <cstdint>
#include <memory>

#include "graphics/canvas.h"

// A new canvas of the source mapped through the matrix (a, b, c, d) about the anchor; its
// handle keeps the anchor. Null for a singular matrix or a size no canvas can have.
std::unique_ptr<sysCanvas> nearestTransformFrameStandIn(const sysCanvas& source, float a, float b, float c,
                                                        float d, int32_t anchorX, int32_t anchorY);
