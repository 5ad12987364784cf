#!/usr/bin/env python3
"""Reads a window on the X server as a person looks at it: its pixels.

  readwindow.py colours WINDOW            counts of the port circle's colours:
                                          "green N red M" (#00C000, #FF0000)
  readwindow.py text WINDOW LANG X Y W H [CHARACTERS]
                                          what Tesseract reads in that rectangle
                                          of the window (pixels from its top-left
                                          corner), as it is and black on white,
                                          each enlarged 1, 2 and 3 times: a line
                                          each; LANG: eng, rus; only the
                                          CHARACTERS given, when given
  readwindow.py icon WINDOW               the window's icons (_NET_WM_ICON): a line
                                          each, "WIDTHxHEIGHT R,G,B" with the colour
                                          most of its opaque pixels have
  readwindow.py save WINDOW FILE          the window as a PPM picture

The window is taken with xwd (x11-apps), its icons with xprop (x11-utils);
nothing of the program is asked.
"""
import collections
import struct
import subprocess
import sys
import tempfile


def capture(window):
    data = subprocess.run(["xwd", "-silent", "-id", window], check=True,
                          capture_output=True).stdout
    header = struct.unpack(">25I", data[:100])
    (header_size, _version, pixmap_format, _depth, width, height, _xoffset,
     byte_order, _unit, _bit_order, _pad, bits_per_pixel, bytes_per_line,
     _visual, red_mask, green_mask, blue_mask, _bits_per_rgb, _entries,
     ncolours) = header[:20]
    if pixmap_format != 2 or bits_per_pixel != 32:
        sys.exit(f"readwindow: unexpected xwd picture (format {pixmap_format}, "
                 f"{bits_per_pixel} bits per pixel)")
    start = header_size + 12 * ncolours
    order = "<" if byte_order == 0 else ">"

    def channel(value, mask):
        shift = (mask & -mask).bit_length() - 1
        return (value & mask) >> shift

    rows = []
    for y in range(height):
        line = data[start + y * bytes_per_line:start + y * bytes_per_line + 4 * width]
        values = struct.unpack(f"{order}{width}I", line)
        rows.append([(channel(v, red_mask), channel(v, green_mask), channel(v, blue_mask))
                     for v in values])
    return rows


def write_ppm(path, rows, scale=1):
    height, width = len(rows), len(rows[0])
    with open(path, "wb") as out:
        out.write(f"P6 {width * scale} {height * scale} 255\n".encode())
        for row in rows:
            line = b"".join(bytes(pixel) * scale for pixel in row)
            out.write(line * scale)


def black_on_white(rows, margin=12):
    """Dark text on any light background, as black on white with a margin: the
    picture Tesseract reads most reliably."""
    white = (255, 255, 255)
    width = len(rows[0]) + 2 * margin
    out = [[white] * width for _ in range(margin)]
    for row in rows:
        line = [(0, 0, 0) if (299 * r + 587 * g + 114 * b) // 1000 < 128 else white
                for r, g, b in row]
        out.append([white] * margin + line + [white] * margin)
    out += [[white] * width for _ in range(margin)]
    return out


def icons(window):
    text = subprocess.run(["xprop", "-id", window, "-notype", "-f", "_NET_WM_ICON", "32c",
                           "_NET_WM_ICON"], check=True, capture_output=True, text=True).stdout
    values = [int(v) for v in text.partition("=")[2].replace(",", " ").split()]
    while len(values) >= 2:
        width, height = values[0], values[1]
        pixels = values[2:2 + width * height]
        values = values[2 + width * height:]
        opaque = collections.Counter(((p >> 16) & 255, (p >> 8) & 255, p & 255)
                                     for p in pixels if (p >> 24) >= 128)
        colour = opaque.most_common(1)[0][0] if opaque else (0, 0, 0)
        print(f"{width}x{height} {colour[0]},{colour[1]},{colour[2]}")


def main():
    what, window = sys.argv[1], sys.argv[2]
    if what == "icon":
        icons(window)
        return
    rows = capture(window)
    if what == "colours":
        pixels = [p for row in rows for p in row]
        print(f"green {pixels.count((0, 192, 0))} red {pixels.count((255, 0, 0))}")
    elif what == "text":
        lang = sys.argv[3]
        x, y, w, h = map(int, sys.argv[4:8])
        only = ["-c", f"tessedit_char_whitelist={sys.argv[8]}"] if len(sys.argv) > 8 else []
        crop = [row[x:x + w] for row in rows[y:y + h]]
        # A box of one line is read as one line.
        layout = "7" if h <= 60 else "6"
        # Tesseract reads screen text better at one size than at another, and
        # small antialiased text better as it is than turned black on white:
        # which one depends on the font. One reading for each, a line each.
        for picture_rows, scale in [(p, s) for p in (crop, black_on_white(crop))
                                    for s in (1, 2, 3)]:
            with tempfile.NamedTemporaryFile(suffix=".ppm") as picture:
                write_ppm(picture.name, picture_rows, scale)
                text = subprocess.run(
                    ["tesseract", picture.name, "-", "-l", lang, "--psm", layout] + only,
                    check=True, capture_output=True, text=True).stdout
            print(" ".join(text.split()))
    elif what == "save":
        write_ppm(sys.argv[3], rows)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
