#!/usr/bin/env python3
"""Writes the small sample meshes in samples/ (binary STL, outward-facing, counter-clockwise)."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "samples")


def normal(a, b, c):
    u = [b[i] - a[i] for i in range(3)]
    v = [c[i] - a[i] for i in range(3)]
    n = [u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]]
    length = math.sqrt(sum(x * x for x in n)) or 1.0
    return [x / length for x in n]


def write_stl(name, triangles):
    header = b"Orvex Vision sample " + name.encode()
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(header.ljust(80, b"\0"))
        f.write(struct.pack("<I", len(triangles)))
        for a, b, c in triangles:
            f.write(struct.pack("<12fH", *normal(a, b, c), *a, *b, *c, 0))


def cube(side):
    h = side / 2.0
    quads = [
        [(-h, -h, -h), (-h, h, -h), (h, h, -h), (h, -h, -h)],
        [(-h, -h, h), (h, -h, h), (h, h, h), (-h, h, h)],
        [(-h, -h, -h), (h, -h, -h), (h, -h, h), (-h, -h, h)],
        [(-h, h, -h), (-h, h, h), (h, h, h), (h, h, -h)],
        [(-h, -h, -h), (-h, -h, h), (-h, h, h), (-h, h, -h)],
        [(h, -h, -h), (h, h, -h), (h, h, h), (h, -h, h)],
    ]
    tris = []
    for q in quads:
        tris += [(q[0], q[1], q[2]), (q[0], q[2], q[3])]
    return tris


def uv_sphere(radius, rings, segments):
    def p(i, j):
        # Seams and poles repeat exactly the same coordinates so that the corners weld.
        if i == 0:
            return (0.0, 0.0, radius)
        if i == rings:
            return (0.0, 0.0, -radius)
        theta = math.pi * i / rings
        phi = 2 * math.pi * (j % segments) / segments
        return (radius * math.sin(theta) * math.cos(phi), radius * math.sin(theta) * math.sin(phi),
                radius * math.cos(theta))
    tris = []
    for i in range(rings):
        for j in range(segments):
            a, b, c, d = p(i, j), p(i + 1, j), p(i + 1, j + 1), p(i, j + 1)
            if i > 0:
                tris.append((a, b, d))
            if i < rings - 1:
                tris.append((b, c, d))
    return tris


def torus(big, small, n, m):
    def p(i, j):
        u = 2 * math.pi * (i % n) / n
        v = 2 * math.pi * (j % m) / m
        r = big + small * math.cos(v)
        return (r * math.cos(u), r * math.sin(u), small * math.sin(v))
    tris = []
    for i in range(n):
        for j in range(m):
            a, b, c, d = p(i, j), p(i + 1, j), p(i + 1, j + 1), p(i, j + 1)
            tris += [(a, b, c), (a, c, d)]
    return tris


def bowl(radius, rings, segments):
    """The lower half of a sphere, open at the top: its rim is one loop of boundary edges."""
    def p(i, j):
        if i == rings:
            return (0.0, 0.0, -radius)
        theta = math.pi / 2 + (math.pi / 2) * i / rings
        phi = 2 * math.pi * (j % segments) / segments
        z = 0.0 if i == 0 else radius * math.cos(theta)  # the rim lies exactly in z = 0
        return (radius * math.sin(theta) * math.cos(phi), radius * math.sin(theta) * math.sin(phi), z)
    tris = []
    for i in range(rings):
        for j in range(segments):
            a, b, c, d = p(i, j), p(i + 1, j), p(i + 1, j + 1), p(i, j + 1)
            tris.append((a, b, d))
            if i < rings - 1:
                tris.append((b, c, d))
    return tris


if __name__ == "__main__":
    write_stl("cube.stl", cube(2.0))
    write_stl("sphere.stl", uv_sphere(10.0, 48, 96))
    write_stl("torus.stl", torus(20.0, 6.0, 96, 48))
    write_stl("bowl.stl", bowl(15.0, 24, 96))
