#!/usr/bin/env python3
"""Writes the showcase's scene documents (KF text) and its two .x objects into scenes/.

Run from anywhere: python3 examples/showcase/make_scenes.py. The files it writes are committed;
run it again only after changing it. Conventions of the scene documents: times in frames at
30 frames per second, one channel sample every 15 frames (linear in between), angles in
radians (heading, pitch, bank): heading 0 looks along +Z, a positive heading turns towards +X,
a positive pitch looks down.
"""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "scenes")
FPS = 30
STEP = 15


def fmt(v):
    s = "%.4f" % v
    s = s.rstrip("0").rstrip(".")
    return "0" if s in ("-0", "") else s


def channel(name, samples, indent):
    """An FP_C channel of 1 or 3 components from a list of samples (tuples or floats)."""
    pad = " " * indent
    if not isinstance(samples[0], (tuple, list)):
        samples = [(s,) for s in samples]
    lines = []
    for c in range(len(samples[0])):
        values = [s[c] for s in samples]
        if all(abs(v - values[0]) < 1e-6 for v in values):
            lines.append("RUN %d %s" % (len(values), fmt(values[0])))
        else:
            lines.append("DAT %d %s" % (len(values), " ".join(fmt(v) for v in values)))
    if len(lines) == 1:
        return "%s%s FP_C %s\n" % (pad, name, lines[0])
    body = "".join("%s  %s\n" % (pad, l) for l in lines)
    return "%s%s FP_C [\n%s%s]\n" % (pad, name, body, pad)


def sample_times(seconds):
    frames = int(seconds * FPS)
    return [i * STEP / FPS for i in range(frames // STEP + 1)]


def smooth(x):
    x = max(0.0, min(1.0, x))
    return x * x * (3 - 2 * x)


def orbit_camera(t, radius, height, heading):
    # On a circle round the Y axis, looking at the origin: from (R sin a, y, -R cos a) the view
    # runs along (-sin a, 0, cos a), which is heading -a.
    pos = (radius * math.sin(heading), height, -radius * math.cos(heading))
    pitch = math.atan2(height, radius)
    return pos, (-heading, pitch, 0.0)


def emitter_group(emitters, ts, indent):
    """The FxEmitters group: ParticleFx emitters, each with its HyperVoxel look."""
    pad = " " * indent
    out = ["%s{ FxEmitters\n" % pad]
    for e in emitters:
        out.append("%s  { FxEmitter\n%s    type I4 0\n%s    name STR \"%s\"\n" % (pad, pad, pad, e["name"]))
        out.append("%s    position FP %s\n%s    rotation FP 0 0 0\n%s    scale FP 1 1 1\n"
                   % (pad, " ".join(fmt(v) for v in e["position"]), pad, pad))
        out.append("%s    { ParticleFx\n%s      nozzle I4 0\n" % (pad, pad))
        out.append("%s      generatorSize FP %s\n" % (pad, " ".join(fmt(v) for v in e["generatorSize"])))
        out.append("%s      particleLimit I4 %d\n" % (pad, e["particleLimit"]))
        out.append(channel("birthRate", [e["birthRate"](t) for t in ts], indent + 6))
        for key in ("lifeTime", "lifeTime_pm", "explosion", "parentMotion", "weight", "resistance", "vibration"):
            out.append("%s      %s FP %s\n" % (pad, key, fmt(e[key])))
        for key in ("velocity", "gravity"):
            out.append("%s      %s FP %s\n" % (pad, key, " ".join(fmt(v) for v in e[key])))
        out.append("%s    }\n%s    { HyperVoxel\n%s      clipFilename STR \"\"\n" % (pad, pad, pad))
        out.append("%s      particleSize FP %s\n%s      clipAlpha I4 0\n%s      clipFlags I4 0\n"
                   % (pad, fmt(e["particleSize"]), pad, pad))
        out.append("%s      color FP %s\n%s      clipRotation FP 0\n%s    }\n%s  }\n"
                   % (pad, " ".join(fmt(v) for v in e["color"]), pad, pad, pad))
    out.append("%s}\n" % pad)
    return "".join(out)


# Render settings of every scene: glow on, added at 60 % with a radius of 24 pixels. What glows
# is each surface's GlowValue (0 to 1): the gems glow, the amber blocks and floor do not.
GLOW = (0.6, 24)
SURFACES = {"gem": ("Teal", 0.7), "block": ("Amber", 0.0)}


def scene(comment, seconds, zenith, ambient, camera, objects, lights, emitters=()):
    ts = sample_times(seconds)
    out = ["# %s\n" % line for line in comment.strip().splitlines()]
    out.append("{ Scene\n  { SceneInfo\n")
    out.append("    frameStart I4 0\n    frameEnd I4 %d\n    frameStep I4 %d\n" % (int(seconds * FPS), STEP))
    out.append("    framesPerSecond FP %d\n    renderCamera FP 0\n  }\n" % FPS)
    out.append("  { BackdropInfo\n    zenith FP %s\n  }\n" % " ".join(fmt(c) for c in zenith))
    out.append("  { LightInfo\n    ambient FP %s\n  }\n" % " ".join(fmt(c) for c in ambient))
    out.append("  { ImageProcessing\n    glowEffect I4 1\n    glowIntensity FP %s\n    glowRadius FP %s\n  }\n"
               % (fmt(GLOW[0]), fmt(GLOW[1])))
    # An extra scene's camera is not used (its objects ride with the camera of the part), but a
    # scene document is expected to have one.
    if camera:
        cams = [camera(t) for t in ts]
        out.append("  { Cameras\n    { Camera\n      name STR \"Camera\"\n")
        out.append(channel("position", [c[0] for c in cams], 6))
        out.append(channel("rotation", [c[1] for c in cams], 6))
        out.append("      zoomFactor FP 3.2\n      resolution I4 640 360\n      flags I4 0\n    }\n  }\n")
    out.append("  { Objects\n")
    for o in objects:
        out.append("    { Object\n")
        out.append("      kfilename STR \"%s\"\n      filename STR \"Objects/%s.lwo\"\n" % (o["file"], o["name"]))
        out.append("      name STR \"%s\"\n" % o["name"])
        out.append(channel("position", [o["position"](t) for t in ts], 6))
        out.append(channel("rotation", [o["rotation"](t) for t in ts], 6))
        out.append("      scale FP %s\n      shadowOpts I4 0\n    }\n" % " ".join(fmt(s) for s in o["scale"]))
    out.append("  }\n")
    if lights:
        out.append("  { Lights\n")
        for l in lights:
            out.append("    { Light\n      type I4 %d\n" % l["type"])
            out.append("      position FP %s\n      rotation FP %s\n" % (" ".join(fmt(v) for v in l["position"]),
                                                                        " ".join(fmt(v) for v in l["rotation"])))
            out.append("      rawColor FP %s\n      intensity FP %s\n" % (" ".join(fmt(v) for v in l["color"]),
                                                                          fmt(l["intensity"])))
            out.append("      falloff I4 %d\n" % (1 if l["type"] == 1 else 0))
            if l["type"] == 1:
                out.append("      range FP %s\n" % fmt(l["range"]))
            out.append("      shadowType I4 0\n    }\n")
        out.append("  }\n")
    if emitters:
        out.append(emitter_group(emitters, ts, 2))
    out.append("  { SceneObjects\n")
    for name in sorted({o["name"] for o in objects}):
        surface, glow = SURFACES[name]
        out.append("    { SceneObject\n      filename STR \"Objects/%s.lwo\"\n" % name)
        out.append("      { Surfaces\n        { Surface\n          name STR \"%s\"\n" % surface)
        out.append("          { Parameters\n            { GlowValue\n              value FP %s\n            }\n"
                   "          }\n        }\n      }\n    }\n" % fmt(glow))
    out.append("  }\n}\n")
    return "".join(out)


def constant(v):
    return lambda t: v


def write(name, text):
    with open(os.path.join(OUT, name), "w") as f:
        f.write(text)


# --- objects ---------------------------------------------------------------------------------------

def x_mesh(comment, material, triangles):
    """A .x text object with flat normals: one vertex triple per triangle."""
    verts, normals = [], []
    for a, b, c in triangles:
        u = [b[i] - a[i] for i in range(3)]
        v = [c[i] - a[i] for i in range(3)]
        n = [u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]]
        length = math.sqrt(sum(x * x for x in n)) or 1.0
        n = [x / length for x in n]
        verts += [a, b, c]
        normals += [n, n, n]
    count = len(verts)
    faces = ",\n".join("    3;%d,%d,%d;" % (3 * i, 3 * i + 1, 3 * i + 2) for i in range(len(triangles)))
    lines = ["xof 0303txt 0032\n"]
    lines += ["// %s\n" % l for l in comment.strip().splitlines()]
    lines.append("\nMaterial %s {\n  %s;;\n  30.000;\n  0.400;0.400;0.400;;\n  0.000;0.000;0.000;;\n}\n\n"
                 % (material[0], ";".join("%.3f" % c for c in material[1])))
    lines.append("Mesh %s {\n  %d;\n" % (material[0] + "Mesh", count))
    lines.append(",\n".join("    %s;%s;%s;" % tuple(fmt(c) for c in p) for p in verts) + ";\n\n")
    lines.append("  %d;\n%s;\n\n" % (len(triangles), faces))
    lines.append("  MeshNormals {\n    %d;\n" % count)
    lines.append(",\n".join("    %s;%s;%s;" % tuple(fmt(c) for c in n) for n in normals) + ";\n")
    lines.append("    %d;\n%s;\n  }\n\n" % (len(triangles), faces))
    lines.append("  MeshMaterialList {\n    1;\n    %d;\n" % len(triangles))
    lines.append(",\n".join("    0" for _ in triangles) + ";\n    {%s}\n  }\n}\n" % material[0])
    return "".join(lines)


def gem():
    top, bottom = (0, 1.4, 0), (0, -1.0, 0)
    ring = [(math.cos(a) * 0.9, 0.15, math.sin(a) * 0.9) for a in [i * math.pi / 3 for i in range(6)]]
    tris = []
    for i in range(6):
        a, b = ring[i], ring[(i + 1) % 6]
        tris.append((top, b, a))
        tris.append((bottom, a, b))
    return tris


def block():
    c = [(x, y, z) for x in (-1, 1) for y in (-1, 1) for z in (-1, 1)]
    quads = [(0, 1, 3, 2), (4, 6, 7, 5), (0, 4, 5, 1), (2, 3, 7, 6), (0, 2, 6, 4), (1, 5, 7, 3)]
    tris = []
    for a, b, cc, d in quads:
        tris.append((c[a], c[b], c[cc]))
        tris.append((c[a], c[cc], c[d]))
    return tris


def main():
    os.makedirs(OUT, exist_ok=True)
    write("gem.x", x_mesh("A six-sided gem, 2.4 units tall: the showcase's main object (made by make_scenes.py).",
                          ("Teal", (0.15, 0.75, 0.8, 1.0)), gem()))
    write("block.x", x_mesh("A cube two units wide with flat faces (made by make_scenes.py).",
                            ("Amber", (1.0, 0.55, 0.12, 1.0)), block()))

    # Intro, 6 s: a ring of blocks round a gem; the camera rises and circles a quarter turn.
    objects = [{"file": "gem.x", "name": "gem", "scale": (1.2, 1.2, 1.2), "position": constant((0, 0, 0)),
                "rotation": lambda t: (t * 0.8, 0, 0)}]
    for i in range(8):
        a = i * math.pi / 4
        objects.append({"file": "block.x", "name": "block", "scale": (0.4, 0.4, 0.4),
                        "position": (lambda a: lambda t: (4 * math.cos(a + t * 0.3), 0.6 * math.sin(t * 2 + a * 2),
                                                          4 * math.sin(a + t * 0.3)))(a),
                        "rotation": (lambda a: lambda t: (a + t, t * 0.5, 0))(a)})
    lights = [{"type": 0, "position": (0, 10, 0), "rotation": (0.6, 0.9, 0), "color": (1, 0.95, 0.9), "intensity": 0.9},
              {"type": 1, "position": (0, 3, 0), "rotation": (0, 0, 0), "color": (0.3, 0.6, 1), "intensity": 1.5,
               "range": 12}]
    # Sparks rise from the gem's tip and fall back round it; none are born in the last second,
    # so that the intro ends without them.
    sparks = {"name": "sparks", "position": (0, 1.75, 0), "generatorSize": (0.15, 0.05, 0.15),
              "particleLimit": 0, "birthRate": lambda t: 120 if t < 5 else 0, "lifeTime": 1.3,
              "lifeTime_pm": 0.3, "explosion": 0.8, "velocity": (0, 1.8, 0), "parentMotion": 0,
              "gravity": (0, -3, 0), "weight": 1, "resistance": 0.1, "vibration": 0.2,
              "particleSize": 0.07, "color": (0.55, 0.95, 1.0)}
    write("intro.kscn", scene(
        "Showcase intro, 6 s: eight amber blocks circle a turning teal gem, sparks rising from its\n"
        "tip, while the camera rises and swings a quarter turn (written by make_scenes.py).",
        6, (0.02, 0.03, 0.08), (0.12, 0.12, 0.15),
        lambda t: orbit_camera(t, 11 - t * 0.5, 1 + t * 0.5, -0.4 + smooth(t / 6) * math.pi / 2),
        objects, lights, [sparks]))

    # Main, 8 s: a grid of gems; the camera holds still for its first second, then glides along.
    objects = []
    for gx in range(-2, 3):
        for gz in range(-2, 3):
            objects.append({"file": "gem.x", "name": "gem", "scale": (0.6, 0.6, 0.6),
                            "position": (lambda gx, gz: lambda t: (gx * 3.0, 0.8 * math.sin(max(0, t - 1) * 2 + gx + gz),
                                                                   gz * 3.0))(gx, gz),
                            "rotation": (lambda gx, gz: lambda t: (max(0, t - 1) * (1 + 0.2 * gx), 0, 0))(gx, gz)})
    objects.append({"file": "block.x", "name": "block", "scale": (9, 0.05, 9), "position": constant((0, -1.2, 0)),
                    "rotation": constant((0, 0, 0))})
    lights = [{"type": 0, "position": (0, 10, 0), "rotation": (-0.5, 0.8, 0), "color": (1, 1, 1), "intensity": 0.8},
              {"type": 1, "position": (0, 2.5, 0), "rotation": (0, 0, 0), "color": (1, 0.4, 0.7), "intensity": 2,
               "range": 10}]
    write("main.kscn", scene(
        "Showcase main part, 8 s: a five by five grid of gems over an amber floor; the camera holds\n"
        "still for the first second (where the first camera effect comes on), then glides round\n"
        "(written by make_scenes.py).",
        8, (0.06, 0.02, 0.06), (0.1, 0.08, 0.1),
        lambda t: orbit_camera(t, 14, 6, 0.3 + smooth((t - 1) / 7) * 1.4),
        objects, lights))

    # Extra, 5 s: three small gems floating before the camera (an extra's objects ride with it).
    objects = []
    for i in range(3):
        objects.append({"file": "gem.x", "name": "gem", "scale": (0.25, 0.25, 0.25),
                        "position": (lambda i: lambda t: (-1.6 + 1.6 * i, -0.9 + 0.15 * math.sin(t * 3 + i), 6))(i),
                        "rotation": (lambda i: lambda t: (t * 2 + i, 0.3, 0))(i)})
    write("orbit.kscn", scene(
        "Showcase extra scene, 5 s: three small gems bobbing in front of the camera, shown by the\n"
        "main part for a while (written by make_scenes.py).",
        5, (0, 0, 0), (0.3, 0.3, 0.3), lambda t: ((0, 0, 0), (0, 0, 0)), objects, []))

    # End, 4 s: one big gem spinning while the camera pulls back.
    objects = [{"file": "gem.x", "name": "gem", "scale": (2, 2, 2), "position": constant((0, 0, 0)),
                "rotation": lambda t: (t * 1.5, 0, 0.2 * math.sin(t))}]
    lights = [{"type": 0, "position": (0, 10, 0), "rotation": (0.3, 0.7, 0), "color": (1, 0.9, 0.8), "intensity": 1.0}]
    write("end.kscn", scene(
        "Showcase end, 4 s: one large gem spinning while the camera pulls back (written by\n"
        "make_scenes.py).",
        4, (0.01, 0.01, 0.02), (0.15, 0.15, 0.15),
        lambda t: orbit_camera(t, 7 + t * 1.5, 1.5, 0.0),
        objects, lights))


if __name__ == "__main__":
    main()
