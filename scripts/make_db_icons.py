#!/usr/bin/env python3
"""Draws the database manager's pictures: the 16 x 16 icons of the tree and
the list, each a square of one flat colour of its own inside a transparent
one-pixel margin, and the toolbar bitmap 276, five 16 x 15 images of one
colour each on light grey (0xC0C0C0, the mask colour).

    make_db_icons.py OUTDIR        writes dbicon<ID>.ico, dbtool276.bmp and dbtool4.bmp
    make_db_icons.py --colour ID   prints an icon's colour as RRGGBB"""
import struct
import sys

# Icon id -> RGB. Distinct at a glance and far from the selection's blue,
# white and the window grey, so a screenshot tells them apart.
ICONS = {
    201: (0xC0, 0x20, 0x20),  # local tables
    225: (0x20, 0x90, 0x20),  # link tables
    212: (0xE0, 0x80, 0x00),  # a table
    217: (0x80, 0x00, 0x80),  # fields
    214: (0x00, 0x80, 0x80),  # indexes
    226: (0x80, 0x80, 0x00),
    224: (0x60, 0x30, 0x10),
    221: (0xFF, 0x40, 0xA0),  # queries
    249: (0x40, 0x40, 0xFF),  # a query
    250: (0x00, 0x40, 0x00),  # users and groups
    254: (0xA0, 0x60, 0xFF),  # users
    257: (0xFF, 0xD0, 0x00),  # a user
    256: (0x60, 0x00, 0x00),  # groups
    258: (0x00, 0xD0, 0xA0),  # a group
    255: (0x90, 0xC0, 0x30),  # relations
    266: (0x30, 0x30, 0x30),  # a relation
    261: (0xFF, 0x80, 0x60),  # main-table fields
    262: (0x00, 0x60, 0xC0),  # related-table fields
    265: (0xB0, 0x00, 0x40),
    240: (0x50, 0x90, 0x90),  # a list row's time
}

# Toolbar images in button order (42001, 42002, 42006, 42007, 42008): the
# plain colours of a palette of 16, which survive an 8-bit image list.
TOOLS = [(0x80, 0x00, 0x00), (0x00, 0x00, 0x80), (0x00, 0x80, 0x00), (0x80, 0x00, 0x80),
         (0x00, 0x80, 0x80)]
# The browser's toolbar: delete, edit, preview, move, help.
BROWSE_TOOLS = [(0xC0, 0x00, 0x00), (0x00, 0x60, 0xC0), (0x00, 0xA0, 0x40), (0x80, 0x60, 0x00),
                (0x00, 0x00, 0xC0)]
GREY = (0xC0, 0xC0, 0xC0)


def icon(rgb):
    """An .ico of one 16 x 16 image: 24-bit colour rows bottom-up, then the
    1-bit AND mask (1 = transparent), rows padded to 4 bytes."""
    size = 16
    xor = bytearray()
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        bits = 0
        for x in range(size):
            inside = 1 <= x <= 14 and 1 <= y <= 14
            r, g, b = rgb if inside else (0, 0, 0)
            xor += bytes((b, g, r))
            if not inside:
                bits |= 0x8000 >> x
        mask += struct.pack(">H", bits) + b"\0\0"
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0, len(xor) + len(mask), 0,
                         0, 0, 0)
    image = header + bytes(xor) + bytes(mask)
    # ICONDIR (reserved, type 1, one entry), then the entry: width, height,
    # colour count, reserved, planes, bit count, size, offset.
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 24,
                                                      len(image), 22) + image


def toolbar(tools):
    """A 24-bit .bmp of the images side by side, 16 x 15 each."""
    width, height = 16 * len(tools), 15
    stride = (width * 3 + 3) & ~3
    rows = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            inside = 2 <= x % 16 <= 13 and 2 <= y <= 12
            r, g, b = tools[x // 16] if inside else GREY
            row += bytes((b, g, r))
        rows += row + b"\0" * (stride - len(row))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(info) + len(rows), 0, 0, 54) + info + bytes(rows)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--colour":
        print("%02X%02X%02X" % ICONS[int(sys.argv[2])])
        return
    out = sys.argv[1]
    for ident, rgb in ICONS.items():
        with open("%s/dbicon%d.ico" % (out, ident), "wb") as f:
            f.write(icon(rgb))
    with open("%s/dbtool276.bmp" % out, "wb") as f:
        f.write(toolbar(TOOLS))
    with open("%s/dbtool4.bmp" % out, "wb") as f:
        f.write(toolbar(BROWSE_TOOLS))


if __name__ == "__main__":
    main()
