#!/usr/bin/env python3
"""Finds the plug-in's panel in a screenshot and compares it with the panel's own picture.

Usage: panel_match.py SCREEN.ppm REFERENCE.ppm X Y
X Y: where the panel is expected (its top left corner on the screen); the panel is looked
for within a few pixels of it, because window managers and hosts differ in their margins.
Prints the panel's position and the share of differing pixels in its worst tile of a 4x4
grid, and exits non-zero when the panel is missing or drawn only in part."""
import sys


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise SystemExit(f"{path}: not an 8-bit binary PPM")
    w, h = int(fields[1]), int(fields[2])
    return w, h, data[pos + 1:pos + 1 + w * h * 3]


def differs(a, i, b, j, tolerance=40):
    return max(abs(a[i] - b[j]), abs(a[i + 1] - b[j + 1]), abs(a[i + 2] - b[j + 2])) > tolerance


def main():
    sw, sh, screen = read_ppm(sys.argv[1])
    rw, rh, ref = read_ppm(sys.argv[2])
    x0, y0 = int(sys.argv[3]), int(sys.argv[4])

    def mismatch(dx, dy, step):
        bad = total = 0
        for y in range(0, rh, step):
            sy = y + dy
            if not 0 <= sy < sh:
                return 1.0
            for x in range(0, rw, step):
                sx = x + dx
                if not 0 <= sx < sw:
                    return 1.0
                total += 1
                bad += differs(screen, (sy * sw + sx) * 3, ref, (y * rw + x) * 3)
        return bad / total

    best = min(((mismatch(x0 + dx, y0 + dy, 11), dx, dy) for dy in range(-40, 41) for dx in range(-8, 9)), key=lambda t: t[0])
    px, py = x0 + best[1], y0 + best[2]
    worst = 0.0
    for ty in range(4):
        for tx in range(4):
            bad = total = 0
            for y in range(ty * rh // 4, (ty + 1) * rh // 4):
                for x in range(tx * rw // 4, (tx + 1) * rw // 4):
                    total += 1
                    bad += differs(screen, ((py + y) * sw + px + x) * 3, ref, (y * rw + x) * 3)
            worst = max(worst, bad / total)
    print(f"panel at {px},{py}, worst tile differs in {100 * worst:.1f}% of its pixels")
    sys.exit(0 if worst < 0.10 else 1)


main()
