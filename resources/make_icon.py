#!/usr/bin/env python3
"""Draws the setup program's icon and writes setup.ico.

Five images: 32x32 and 16x16 in 16 colours, 48x48, 32x32 and 16x16 in 256
colours. The picture is a package with an arrow pointing into it, drawn from
shapes in unit coordinates so every size comes from the same description.
Run it from anywhere; it writes setup.ico beside itself.
"""
import os
import struct

# The standard 16-colour palette (black, dark colours, greys, bright colours).
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

TRANSPARENT = None
OUTLINE = (40, 30, 20)
BOX_LIGHT = (236, 196, 120)
BOX_DARK = (176, 128, 64)
BOX_FLAP = (210, 160, 90)
ARROW_LIGHT = (90, 170, 255)
ARROW_DARK = (20, 70, 200)
TAPE = (250, 240, 210)


def inside_polygon(x, y, points):
    inside = False
    j = len(points) - 1
    for i in range(len(points)):
        xi, yi = points[i]
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


BOX_FRONT = [(0.10, 0.52), (0.62, 0.52), (0.62, 0.94), (0.10, 0.94)]
BOX_SIDE = [(0.62, 0.52), (0.90, 0.40), (0.90, 0.82), (0.62, 0.94)]
BOX_TOP = [(0.10, 0.52), (0.38, 0.40), (0.90, 0.40), (0.62, 0.52)]
ARROW = [(0.40, 0.04), (0.62, 0.04), (0.62, 0.30), (0.76, 0.30), (0.51, 0.58),
         (0.26, 0.30), (0.40, 0.30)]


def shape_colour(x, y):
    """Colour of the picture at unit coordinates (x, y), or TRANSPARENT."""
    if inside_polygon(x, y, ARROW):
        return ARROW_LIGHT if x < 0.51 else ARROW_DARK
    if inside_polygon(x, y, BOX_FRONT):
        if 0.32 <= x <= 0.40:
            return TAPE
        return BOX_LIGHT
    if inside_polygon(x, y, BOX_SIDE):
        return BOX_DARK
    if inside_polygon(x, y, BOX_TOP):
        return BOX_FLAP
    return TRANSPARENT


def render(size):
    """Samples the picture at pixel centres (4x4 per pixel) and draws an outline."""
    pixels = []
    for row in range(size):
        line = []
        for col in range(size):
            counts = {}
            for sy in range(4):
                for sx in range(4):
                    c = shape_colour((col + (sx + 0.5) / 4) / size, (row + (sy + 0.5) / 4) / size)
                    counts[c] = counts.get(c, 0) + 1
            line.append(max(counts.items(), key=lambda item: item[1])[0])
        pixels.append(line)
    # Outline: a painted pixel next to a transparent one (or the edge) is dark.
    outlined = [list(line) for line in pixels]
    for row in range(size):
        for col in range(size):
            if pixels[row][col] is TRANSPARENT:
                continue
            for dr, dc in ((-1, 0), (1, 0), (0, -1), (0, 1)):
                r, c = row + dr, col + dc
                if not (0 <= r < size and 0 <= c < size) or pixels[r][c] is TRANSPARENT:
                    outlined[row][col] = OUTLINE
                    break
    return outlined


# The drawing's colours in the 16-colour images, chosen by hand: the nearest
# standard colour would turn the light blue and the box grey.
COLOURS16 = {OUTLINE: 0, BOX_LIGHT: 11, BOX_DARK: 3, BOX_FLAP: 7, ARROW_LIGHT: 12, ARROW_DARK: 4, TAPE: 15}


def nearest(colour, palette):
    if len(palette) == 16:
        return COLOURS16[colour]
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(colour, palette[i])))


def palette256():
    """The 16 standard colours, the drawing's own colours, then a colour cube."""
    colours = list(VGA16)
    colours += [OUTLINE, BOX_LIGHT, BOX_DARK, BOX_FLAP, ARROW_LIGHT, ARROW_DARK, TAPE]
    for r in range(6):
        for g in range(6):
            for b in range(6):
                colours.append((r * 51, g * 51, b * 51))
    while len(colours) < 256:
        grey = (len(colours) - 239) * 15
        colours.append((grey, grey, grey))
    return colours[:256]


def icon_image(size, bits):
    """One icon image: BITMAPINFOHEADER, palette, colour bits, mask bits."""
    palette = VGA16 if bits == 4 else palette256()
    pixels = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, len(palette), 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    colour_rows = []
    mask_rows = []
    for row in reversed(range(size)):  # bottom-up
        indices = [0 if p is TRANSPARENT else nearest(p, palette) for p in pixels[row]]
        if bits == 4:
            data = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))
        else:
            data = bytes(indices)
        colour_rows.append(data + b"\0" * (-len(data) % 4))
        mask = bytearray((size + 7) // 8)
        for col, p in enumerate(pixels[row]):
            if p is TRANSPARENT:
                mask[col // 8] |= 0x80 >> (col % 8)
        mask_rows.append(bytes(mask) + b"\0" * (-len(mask) % 4))
    return header + table + b"".join(colour_rows) + b"".join(mask_rows), len(palette)


def main():
    images = [(32, 4), (16, 4), (48, 8), (32, 8), (16, 8)]
    blobs = [icon_image(size, bits) for size, bits in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bits), (blob, colours) in zip(images, blobs):
        out += struct.pack("<BBBBHHII", size, size, colours if colours < 256 else 0, 0, 1, bits,
                           len(blob), offset)
        offset += len(blob)
    out += b"".join(blob for blob, _ in blobs)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "setup.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
