#!/usr/bin/env python3
"""Draws the demo's sprites and writes them as 24-bit bitmap files beside this script:
birds.bmp, a strip of four 32 x 32 frames of a bird flapping its wings, and rock.bmp, a
40 x 40 rock. Black is the mask colour (transparent when drawn). Run it again to remake
them; the files are kept in the repository so the demo needs no Python."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write_bmp(path, width, height, pixel):
    row_size = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += bytes(row_size - len(row))
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, 0, 0, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def bird(frame, x, y):
    """Frame 0..3: wings from up to down and back. Local coordinates 0..31."""
    cx, cy = 16, 17
    wing = [-7, -2, 4, -2][frame]
    # Body: an ellipse.
    if ((x - cx) / 8.0) ** 2 + ((y - cy) / 4.0) ** 2 <= 1.0:
        return (200, 120, 60) if y < cy + 1 else (240, 200, 150)
    # Head and beak.
    if (x - 24) ** 2 + (y - 14) ** 2 <= 9:
        return (30, 30, 30) if (x, y) == (25, 13) else (180, 100, 50)
    if 27 <= x <= 30 and 14 <= y <= 15 and y - 14 <= (30 - x) // 2:
        return (250, 210, 40)
    # Wings: triangles from the body's back to a tip that moves.
    for side in (-1, 1):
        tip_x, tip_y = cx - 3 + side * 2, cy + wing * 2 if wing else cy
        base_x0, base_x1 = cx - 6, cx + 4
        top = min(cy, tip_y)
        bottom = max(cy, tip_y)
        if top <= y <= bottom and bottom != top:
            t = (y - cy) / float(tip_y - cy)
            left = base_x0 + (tip_x - 4 - base_x0) * t
            right = base_x1 + (tip_x + 2 - base_x1) * t
            if left <= x <= right:
                return (150, 80, 40) if side < 0 else (170, 95, 50)
    # Tail.
    if 4 <= x <= 8 and abs(y - cy) <= (8 - x) // 2 + 1:
        return (120, 70, 40)
    return (0, 0, 0)


def rock(x, y):
    cx, cy = 19.5, 19.5
    angle = math.atan2(y - cy, x - cx)
    radius = 15 + 3 * math.sin(angle * 3) + 2 * math.cos(angle * 5)
    d = math.hypot(x - cx, y - cy)
    if d > radius:
        return (0, 0, 0)
    shade = int(90 + 80 * (1 - d / radius) - 30 * (x + y - 39) / 39.0)
    shade = max(30, min(200, shade))
    if (x * 7 + y * 13) % 17 == 0:
        shade -= 25
    return (shade, shade - 10, shade - 20)


write_bmp(os.path.join(HERE, "birds.bmp"), 128, 32, lambda x, y: bird(x // 32, x % 32, y))
write_bmp(os.path.join(HERE, "rock.bmp"), 40, 40, rock)
