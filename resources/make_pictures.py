#!/usr/bin/env python3
"""Draws Quadrelink's two pictures.

  make_pictures.py             writes them as files beside this script:
    icon1.ico  the application icon: one 256x256 image, 256 colours, with an AND
               mask making the corners outside the rounded tile transparent.
    logo.bmp   the About-panel logo: 256x256, 8 bits per pixel, uncompressed.
  make_pictures.py --pixels H  writes the C++ header H that the build compiles
                               into the program: the same pictures as 8-bit
                               colour indexes and their palettes, ready for
                               QImage, so that the program decodes no file.

Shapes are inside/outside tests on the pixel grid, averaged over a few samples
per pixel so that edges get intermediate shades; every colour that comes out is
put in the palette. The output is the same, byte for byte, on every run.
Run it again after changing a shape and commit the two files with the script
(the desktop's icon theme is made from icon1.ico); the build draws the header.
"""
import math
import pathlib
import struct
import sys

HERE = pathlib.Path(__file__).resolve().parent
SIZE = 256


# --- shapes: each returns a test (x, y) -> bool, y pointing down -------------

def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        dx = max(x0 + r - x, 0.0, x - (x1 - r))
        dy = max(y0 + r - y, 0.0, y - (y1 - r))
        return x0 <= x <= x1 and y0 <= y <= y1 and dx * dx + dy * dy <= r * r
    return inside


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def arc(cx, cy, radius, half_width, half_angle_deg):
    """A band of the ring around (cx, cy), opening to the right, round-ended."""
    limit = math.radians(half_angle_deg)
    ends = [(cx + radius * math.cos(a), cy + radius * math.sin(a)) for a in (-limit, limit)]

    def inside(x, y):
        if abs(math.atan2(y - cy, x - cx)) <= limit:
            return abs(math.hypot(x - cx, y - cy) - radius) <= half_width
        return any(math.hypot(x - ex, y - ey) <= half_width for ex, ey in ends)
    return inside


def polygon(points):
    """Even-odd rule, so the outline may be concave (the chevron is)."""
    edges = list(zip(points, points[1:] + points[:1]))

    def inside(x, y):
        hit = False
        for (ax, ay), (bx, by) in edges:
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                hit = not hit
        return hit
    return inside


def union(*tests):
    return lambda x, y: any(t(x, y) for t in tests)


# --- rendering ---------------------------------------------------------------

def render(layers, background, samples):
    """Rows of pixels, top row first; a pixel is an (r, g, b) tuple, or None
    where it is mostly background and background is None (transparent).

    layers are (test, colour) pairs, the last one drawn on top. A pixel's colour
    is the mean of its opaque samples, so the tile's outer edge stays the tile's
    colour and the 1-bit mask alone decides where it ends.
    """
    offsets = [(i + 0.5) / samples for i in range(samples)]
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            hits = []
            for oy in offsets:
                for ox in offsets:
                    colour = background
                    for test, layer_colour in reversed(layers):
                        if test(px + ox, py + oy):
                            colour = layer_colour
                            break
                    if colour is not None:
                        hits.append(colour)
            if 2 * len(hits) < samples * samples:
                row.append(None)
            else:
                row.append(tuple(round(sum(c[k] for c in hits) / len(hits)) for k in range(3)))
        rows.append(row)
    return rows


def indexed(rows):
    """Palette of 256 BGRA entries (used colours sorted, then black) and the
    8-bit pixel rows bottom-up, as both BMP and ICO store them. Transparent
    pixels are black, which leaves the screen as it is where a mask is XORed."""
    rows = [[c or (0, 0, 0) for c in row] for row in rows]
    used = sorted({c for row in rows for c in row})
    if len(used) > 256:
        raise SystemExit(f"{len(used)} colours do not fit an 8-bit palette")
    index = {c: i for i, c in enumerate(used)}
    palette = b"".join(struct.pack("<4B", b, g, r, 0) for r, g, b in used)
    palette += bytes(4 * (256 - len(used)))
    pixels = b"".join(bytes(index[c] for c in row) for row in reversed(rows))
    return palette, pixels


def info_header(height, image_size):
    # BITMAPINFOHEADER: BI_RGB, 72 dpi, all 256 palette entries present and important.
    return struct.pack("<IiiHHIIiiII", 40, SIZE, height, 1, 8, 0, image_size, 2835, 2835, 256, 0)


# --- the application icon ----------------------------------------------------

TILE, TILE_EDGE = (22, 48, 96), (48, 88, 158)
BODY, BODY_SHADE, FACE = (196, 204, 216), (142, 152, 170), (240, 244, 248)
WAVE, TARGET = (84, 206, 244), (250, 156, 48)


def icon_layers():
    body = union(rounded_rect(40, 92, 96, 164, 10), ellipse(96, 128, 16, 36))
    layers = [
        (rounded_rect(8, 8, 248, 248, 52), TILE_EDGE),
        (rounded_rect(16, 16, 240, 240, 44), TILE),
        (rounded_rect(24, 116, 48, 140, 4), BODY_SHADE),  # cable gland
        (body, BODY),
        (rounded_rect(40, 146, 100, 164, 8), BODY_SHADE),  # underside shading
        (ellipse(100, 128, 14, 34), BODY_SHADE),  # rim of the sensor face
        (ellipse(102, 128, 10, 28), FACE),
    ]
    layers += [(arc(104, 128, r, 7, 42), WAVE) for r in (42, 66, 90)]
    layers.append((rounded_rect(204, 60, 226, 196, 8), TARGET))
    return layers


def icon_rows():
    return render(icon_layers(), None, 4)


def write_icon(path):
    rows = icon_rows()
    palette, pixels = indexed(rows)
    mask = bytearray()
    for row in reversed(rows):  # 1 = transparent; 256 bits is already a 32-bit multiple
        for start in range(0, SIZE, 8):
            bits = 0
            for c in row[start:start + 8]:
                bits = (bits << 1) | (c is None)
            mask.append(bits)
    image = info_header(2 * SIZE, len(pixels) + len(mask)) + palette + pixels + bytes(mask)
    # ICONDIR with one ICONDIRENTRY: 0 x 0 means 256 x 256, colour count 0 means 256.
    head = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 8, len(image), 22)
    path.write_bytes(head + image)


# --- the About-panel logo ----------------------------------------------------

FIELD, ACCENT = (212, 212, 212), (214, 58, 40)
INK_LEFT, INK_RIGHT = (24, 44, 92), (40, 70, 132)  # two facets, lit from the right
BAR_SHADES = [(58, 84, 138), (104, 126, 170), (152, 164, 192)]


def logo_layers():
    layers = [
        (polygon([(40, 32), (88, 32), (128, 112), (128, 184)]), INK_LEFT),
        (polygon([(128, 112), (168, 32), (216, 32), (128, 184)]), INK_RIGHT),
        (polygon([(104, 32), (152, 32), (128, 80)]), ACCENT),  # tucked into the V
    ]
    # Three bars under the mark, shorter and paler towards the bottom.
    for i, shade in enumerate(BAR_SHADES):
        y = 198 + 14 * i
        layers.append((rounded_rect(64 + 16 * i, y, 192 - 16 * i, y + 8, 3), shade))
    return layers


def logo_rows():
    return render(logo_layers(), FIELD, 3)


def write_logo(path):
    rows = logo_rows()
    palette, pixels = indexed(rows)
    header = info_header(SIZE, len(pixels)) + palette
    offset = 14 + len(header)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    path.write_bytes(file_header + header + pixels)


# --- the pictures as the program holds them ----------------------------------

def cpp_picture(name, rows):
    """A palette of 0xAARRGGBB entries, as QImage's colour table takes them
    (index 0 transparent where the picture has transparent pixels, then the
    used colours sorted), and the 8-bit indexes into it, rows top first."""
    used = sorted({c for row in rows for c in row if c is not None})
    palette = ([None] if any(c is None for row in rows for c in row) else []) + used
    if len(palette) > 256:
        raise SystemExit(f"{len(palette)} colours do not fit an 8-bit palette")
    index = {c: i for i, c in enumerate(palette)}
    entries = ["0x00000000" if c is None else "0xff%02x%02x%02x" % c for c in palette]
    pixels = [str(index[c]) for row in rows for c in row]
    lines = [f"inline constexpr unsigned int {name}Palette[] = {{"]
    lines += ["    " + ", ".join(entries[i:i + 8]) + "," for i in range(0, len(entries), 8)]
    lines += ["};", f"inline constexpr unsigned char {name}Pixels[] = {{"]
    lines += ["    " + ",".join(pixels[i:i + 32]) + "," for i in range(0, len(pixels), 32)]
    lines += ["};"]
    return "\n".join(lines)


def write_pixels(path):
    text = "\n".join([
        "// Drawn by resources/make_pictures.py at build time; not to be edited.",
        "#pragma once",
        "",
        "namespace quadrelink::resources::drawn {",
        "",
        f"inline constexpr int side = {SIZE};",
        cpp_picture("icon1", icon_rows()),
        cpp_picture("logo", logo_rows()),
        "",
        "} // namespace quadrelink::resources::drawn",
        "",
    ])
    path = pathlib.Path(path)
    # Unchanged output keeps its time stamp, so that nothing recompiles.
    if not path.exists() or path.read_text() != text:
        path.write_text(text)


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--pixels":
        write_pixels(sys.argv[2])
    elif len(sys.argv) == 1:
        write_icon(HERE / "icon1.ico")
        write_logo(HERE / "logo.bmp")
    else:
        raise SystemExit(__doc__)
