#!/usr/bin/env python3
"""Writes windmill.x: a small windmill for the object viewer (`kolm windmill.x`).

A tapered tower with a pyramid roof, and a rotor of four sails on a frame of its own that an
animation set turns once around in 60 frames (two seconds at 30 frames per second). Text .x,
flat normals, one material per part. Run it again after changing it: python3 make_windmill.py
"""
import math
import os

ROTOR_AT = (0.0, 0.55, -1.2)  # the rotor's hub, in front of the tower

MATERIALS = [  # name, diffuse RGBA, power, specular RGB
    ("Stone", (0.82, 0.72, 0.55, 1.0), 12.0, (0.2, 0.2, 0.2)),
    ("Roof", (0.70, 0.16, 0.12, 1.0), 20.0, (0.3, 0.3, 0.3)),
    ("Sail", (0.95, 0.93, 0.85, 1.0), 8.0, (0.1, 0.1, 0.1)),
    ("Wood", (0.35, 0.22, 0.12, 1.0), 8.0, (0.1, 0.1, 0.1)),
]


def sub(a, b):
    return tuple(x - y for x, y in zip(a, b))


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def normalise(v):
    n = math.sqrt(sum(x * x for x in v)) or 1.0
    return tuple(x / n for x in v)


class Mesh:
    def __init__(self):
        self.vertices, self.normals, self.faces, self.materials = [], [], [], []

    def polygon(self, points, material, centre):
        """A flat convex polygon, turned so that it faces away from `centre` (clockwise seen
        from the front, as .x files wind their faces)."""
        n = normalise(cross(sub(points[1], points[0]), sub(points[2], points[0])))
        mid = tuple(sum(p[i] for p in points) / len(points) for i in range(3))
        if sum(a * b for a, b in zip(n, sub(mid, centre))) < 0:
            points = list(reversed(points))
            n = tuple(-x for x in n)
        base = len(self.vertices)
        self.vertices += points
        self.normals += [n] * len(points)
        for k in range(1, len(points) - 1):
            self.faces.append((base, base + k, base + k + 1))
            self.materials.append(material)

    def frustum(self, bottom, top, y0, y1, material, cx=0.0, cz=0.0):
        """A box whose square cross-section goes from half-width `bottom` at y0 to `top` at y1."""
        def ring(h, y):
            return [(cx - h, y, cz - h), (cx + h, y, cz - h), (cx + h, y, cz + h), (cx - h, y, cz + h)]
        lo, hi = ring(bottom, y0), ring(top, y1)
        centre = (cx, (y0 + y1) / 2, cz)
        for i in range(4):
            j = (i + 1) % 4
            self.polygon([lo[i], lo[j], hi[j], hi[i]], material, centre)
        self.polygon(lo, material, centre)
        if top > 0:
            self.polygon(hi, material, centre)

    def pyramid(self, half, y0, y1, material):
        base = [(-half, y0, -half), (half, y0, -half), (half, y0, half), (-half, y0, half)]
        centre = (0.0, y0 + (y1 - y0) / 4, 0.0)
        for i in range(4):
            self.polygon([base[i], base[(i + 1) % 4], (0.0, y1, 0.0)], material, centre)
        self.polygon(base, material, centre)

    def box(self, x0, x1, y0, y1, z0, z1, material):
        c = ((x0 + x1) / 2, (y0 + y1) / 2, (z0 + z1) / 2)
        quads = [
            [(x0, y0, z0), (x1, y0, z0), (x1, y1, z0), (x0, y1, z0)],
            [(x0, y0, z1), (x1, y0, z1), (x1, y1, z1), (x0, y1, z1)],
            [(x0, y0, z0), (x0, y1, z0), (x0, y1, z1), (x0, y0, z1)],
            [(x1, y0, z0), (x1, y1, z0), (x1, y1, z1), (x1, y0, z1)],
            [(x0, y0, z0), (x1, y0, z0), (x1, y0, z1), (x0, y0, z1)],
            [(x0, y1, z0), (x1, y1, z0), (x1, y1, z1), (x0, y1, z1)],
        ]
        for q in quads:
            self.polygon(q, material, c)

    def write(self, out, name, used):
        def v3(v):
            return "%.4f;%.4f;%.4f;" % v
        out.append("  Mesh %s {" % name)
        out.append("    %d;" % len(self.vertices))
        out.append(",\n".join("    " + v3(v) for v in self.vertices) + ";")
        out.append("    %d;" % len(self.faces))
        out.append(",\n".join("    3;%d,%d,%d;" % f for f in self.faces) + ";")
        out.append("    MeshNormals {")
        out.append("      %d;" % len(self.normals))
        out.append(",\n".join("      " + v3(n) for n in self.normals) + ";")
        out.append("      %d;" % len(self.faces))
        out.append(",\n".join("      3;%d,%d,%d;" % f for f in self.faces) + ";")
        out.append("    }")
        out.append("    MeshMaterialList {")
        out.append("      %d;" % len(used))
        out.append("      %d;" % len(self.faces))
        out.append(",\n".join("      %d" % used.index(m) for m in self.materials) + ";")
        for m in used:
            out.append("      {%s}" % m)
        out.append("    }")
        out.append("  }")


def identity_at(x, y, z):
    return "1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,%.4f,%.4f,%.4f,1.0;;" % (x, y, z)


def main():
    out = ["xof 0303txt 0032", "// Written by make_windmill.py: a windmill whose sails turn once in 60 frames.", ""]
    for name, d, power, s in MATERIALS:
        out.append("Material %s {\n  %.3f;%.3f;%.3f;%.3f;;\n  %.3f;\n  %.3f;%.3f;%.3f;;\n  0.000;0.000;0.000;;\n}"
                   % ((name,) + d + (power,) + s))
    out.append("AnimTicksPerSecond {\n  30;\n}")

    tower = Mesh()
    tower.frustum(1.0, 0.6, -2.2, 1.0, "Stone")
    tower.pyramid(0.8, 1.0, 2.0, "Roof")
    tower.box(-0.25, 0.25, -2.2, -1.4, -1.01, -0.9, "Wood")  # the door, on the side that faces the viewer
    out.append("Frame Tower {\n  FrameTransformMatrix {\n    %s\n  }" % identity_at(0, 0, 0))
    tower.write(out, "TowerMesh", ["Stone", "Roof", "Wood"])

    rotor = Mesh()
    rotor.box(-0.18, 0.18, -0.18, 0.18, -0.25, 0.1, "Wood")  # hub
    for k in range(4):
        a = k * math.pi / 2
        ca, sa = math.cos(a), math.sin(a)

        def at(r, t, z):  # radius along the sail, offset across it
            return (r * ca - t * sa, r * sa + t * ca, z)
        rotor.polygon([at(0.2, -0.06, -0.2), at(2.1, -0.06, -0.2), at(2.1, 0.06, -0.2), at(0.2, 0.06, -0.2)],
                      "Wood", (0.0, 0.0, 0.0))  # the spar, in front of its sail
        sail = [at(0.5, 0.06, -0.15), at(2.0, 0.06, -0.15), at(2.0, 0.55, -0.15), at(0.5, 0.45, -0.15)]
        rotor.polygon(sail, "Sail", (0.0, 0.0, 0.5))  # faces the viewer (-z)
        rotor.polygon(list(reversed(sail)), "Sail", (0.0, 0.0, -1.0))  # and the back
    out.append("  Frame Rotor {\n    FrameTransformMatrix {\n      %s\n    }" % identity_at(*ROTOR_AT))
    body = []
    rotor.write(body, "RotorMesh", ["Wood", "Sail"])
    out += ["  " + line for line in body]
    out.append("  }")
    out.append("}")

    keys = []
    for i in range(5):
        angle = i * math.pi / 2  # a quarter turn every 15 frames
        keys.append("    %d;4;%.6f,0.000000,0.000000,%.6f;;" % (i * 15, math.cos(angle / 2), math.sin(angle / 2)))
    out.append("AnimationSet Turn {\n  Animation {\n    {Rotor}\n    AnimationKey {\n      0;\n      5;")
    out.append(",\n".join("  " + k for k in keys) + ";")
    # An animated frame takes its place from position keys, not from its transform matrix.
    out.append("    }\n    AnimationKey {\n      2;\n      2;")
    out.append("      0;3;%.4f,%.4f,%.4f;;,\n      60;3;%.4f,%.4f,%.4f;;;" % (ROTOR_AT + ROTOR_AT))
    out.append("    }\n  }\n}")

    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "windmill.x")
    with open(path, "w") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
