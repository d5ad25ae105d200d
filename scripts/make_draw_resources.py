#!/usr/bin/env python3
"""Writes MavroRT/aDrawRes.rc: the fill pattern table (5805) and the border
tiles "FancyTable" (5804) as raw data. The tiles are the program's own:
tile 2c is the edge of border code c (drawn along a top edge, outside at row
0), tile 2c + 1 its corner (the top-right corner, outside at the top and the
right)."""
import os

PATTERNS = """
99 33 66 CC 99 33 66 CC|E3 C7 8F 1F 3E 7C F8 F1|83 07 0E 1C 38 70 E0 C1|99 99 99 99 99 99 99 99
E3 E3 E3 E3 E3 E3 E3 E3|C1 C1 C1 C1 C1 C1 C1 C1|7E FF FF E7 E7 FF FF 7E|3E 3E FF E3 E3 E3 FF 3E
FF 99 99 FF FF 99 99 FF|CC CC 33 33 CC CC 33 33|7D FF D7 EF D7 FF 7D FE|FF 88 88 88 FF 88 88 88
AA 55 AA 55 AA 55 AA 55|7D BB D7 EF D7 BB 7D FF|FE FF EF C7 EF FF FE 7C|FE EE EF 83 EF EE FE 38
E7 DB BD 7E 7E BD DB E7|99 44 99 44 99 44 99 44|BF CF F3 FD FD F3 CF BF|E7 D3 B9 7C E7 D3 B9 7C
F0 F0 0F 0F F0 F0 0F 0F|33 33 33 33 CC CC CC CC|33 CC 33 CC 33 CC 33 CC|55 55 AA AA 55 55 AA AA
55 55 55 55 AA AA AA AA|0F F0 0F F0 0F F0 0F F0|E7 DB BD 66 66 BD DB E7|FF BB D7 FF D7 BB FF FF
FF 80 BE A2 AA AA AE A0|00 FF 81 FF C3 FF 81 FF|FF E7 C3 81 81 C3 E7 FF|00 00 00 00 00 00 00 00
80 02 10 04 20 08 40 01|88 22 44 11 88 22 44 11|92 24 49 92 24 49 92 24|AA 55 AA 55 AA 55 AA 55
6D DB B6 6D DB B6 6D DB|77 DD BB EE 77 DD BB EE|7F FD EF FB DF F7 BF FE
"""


def patterns():
    out = []
    for row in PATTERNS.replace("\n", "|").split("|"):
        row = row.strip()
        if row:
            out += [int(b, 16) for b in row.split()]
    assert len(out) == 39 * 8
    return bytes(out)


def tile_bytes(rows):
    out = []
    for r in rows:
        out += [(r >> 8) & 0xFF, r & 0xFF]
    return out


def edge(c):
    # A band along the outside, a motif below it whose shape and period
    # follow the code.
    band = 1 + c % 4
    period = (2, 4, 8, 16)[(c // 4) % 4]
    kind = (c // 16) % 7
    rows = []
    for y in range(16):
        r = 0
        for x in range(16):
            on = False
            if y < band:
                on = True
            else:
                yy, xx = y - band, x % period
                if kind == 0:
                    on = yy in (2, 3) and xx < period // 2 + 1
                elif kind == 1:
                    on = abs(xx - period // 2) + abs(yy - 5) < max(2, period // 2)
                elif kind == 2:
                    on = (xx + yy) % period == 0
                elif kind == 3:
                    on = yy % 3 == 1
                elif kind == 4:
                    on = (xx == 0) and yy < 8
                elif kind == 5:
                    on = ((xx ^ yy) & 1) == 0 and yy < 6
                else:
                    on = yy < 10 and (x // max(1, period // 2) + yy // 2) % 2 == 0
            if on:
                r |= 0x8000 >> x
        rows.append(r)
    return rows


def corner(c):
    band = 1 + c % 4
    rows = []
    for y in range(16):
        r = 0
        for x in range(16):
            rx = 15 - x  # distance from the right side
            on = rx < band or y < band or (band + 2 <= rx < band + 6 and band + 2 <= y < band + 6)
            if on:
                r |= 0x8000 >> x
        rows.append(r)
    return rows


def fancy_table():
    out = []
    for c in range(102):
        out += tile_bytes(edge(c))
        out += tile_bytes(corner(c))
    assert len(out) == 6528
    return bytes(out)


def words(data):
    vals = ["0x%04X" % (data[i] | (data[i + 1] << 8)) for i in range(0, len(data), 2)]
    lines = []
    for i in range(0, len(vals), 12):
        lines.append("    " + ", ".join(vals[i:i + 12]))
    return ",\n".join(lines)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    path = os.path.join(root, "MavroRT", "aDrawRes.rc")
    with open(path, "w") as f:
        f.write("// Raw data of the drawing library, written by scripts/make_draw_resources.py.\n")
        f.write("// 5804 \"FancyTable\": 204 border tiles of 16x16 (32 bytes each).\n")
        f.write("// 5805: the fill patterns, 39 rows of 8 bytes.\n")
        f.write("// Words are little-endian byte pairs.\n\n")
        f.write("5804 RCDATA\nBEGIN\n%s\nEND\n\n" % words(fancy_table()))
        f.write("5805 RCDATA\nBEGIN\n%s\nEND\n" % words(patterns()))


main()
