#!/usr/bin/env python3
"""Writes samples/ring.sfm: a coloured ball of points seen by a ring of eight labelled cameras."""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "samples", "ring.sfm")


def sub(a, b):
    return [a[i] - b[i] for i in range(3)]


def cross(a, b):
    return [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]]


def unit(a):
    n = math.sqrt(sum(x * x for x in a))
    return [x / n for x in a]


def main():
    lines = []
    # A Fibonacci ball of radius 1 about the origin, coloured by position.
    count = 240
    lines.append("#POINT %d" % count)
    for i in range(count):
        z = 1 - 2 * (i + 0.5) / count
        r = math.sqrt(1 - z * z)
        phi = i * math.pi * (3 - math.sqrt(5))
        p = [r * math.cos(phi), r * math.sin(phi), z]
        rgb = [int(round(127.5 * (c + 1))) for c in p]
        lines.append("%.6f %.6f %.6f %d %d %d" % (p[0], p[1], p[2], rgb[0], rgb[1], rgb[2]))
    # Cameras 4 units out, a little above, each looking at the origin: the rows of R are the
    # camera's x (right), y (down) and z (forward) in the world, t = -R C.
    for k in range(8):
        a = 2 * math.pi * k / 8
        centre = [4 * math.cos(a), 4 * math.sin(a), 1.0]
        forward = unit(sub([0, 0, 0], centre))
        right = unit(cross(forward, [0, 0, 1]))
        down = cross(forward, right)
        rows = [right, down, forward]
        t = [-sum(rows[r][i] * centre[i] for i in range(3)) for r in range(3)]
        e = " ".join("%.10f %.10f %.10f %.10f" % (*rows[r], t[r]) for r in range(3))
        lines.append("#CAMERA ring%02d.jpg scale 0.5 K 600 0 320 0 600 240 0 0 1 E %s" % (k, e))
    lines.append("#LABEL 1")
    with open(OUT, "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
