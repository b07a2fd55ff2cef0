// A generated scene document for animation figures and checks: `objects` objects of one mesh
// file, each with position, rotation and scale channels of 100 samples, a scene object of three
// surfaces (an animated colour, an animated scalar, an integer) and a cube-map use; four lights
// (distant, point, a volumetric spot with animated cones, a point with a range); a camera with
// depth of field and an animated zoom; glow, streak and SSAO switched on; one cube map.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

namespace kolmtest {

inline std::string channel3(const char* name, int seed) {
    std::string t = std::string("   ") + name + " FP_C [\n";
    char b[32];
    for (int c = 0; c < 3; ++c) {
        t += "    DAT 100";
        for (int f = 0; f < 100; ++f) {
            std::snprintf(b, sizeof b, " %.4g", std::sin(0.05 * f + seed + c));
            t += b;
        }
        t += "\n";
    }
    return t + "   ]\n";
}

inline std::string animatedSceneText(int objects, const std::string& mesh) {
    std::string t =
        "{ Scene\n"
        " { SceneInfo\n  frameStart I4 0\n  frameEnd I4 100\n  frameStep I4 1\n  framesPerSecond FP 25\n }\n"
        " { LightInfo\n  ambient FP 0.1 0.1 0.1\n }\n"
        " { ImageProcessing\n  glowEffect I4 1\n  glowIntensity FP 0.5\n  glowRadius FP 4\n }\n"
        " { KolmRenderSettings\n  CH_STREAK_ENABLE I4 1\n  CH_STREAK_COLORKEY FP 1 1 1\n  CH_SSAO_ENABLE I4 1\n"
        "  CH_SSAO_DISTANCEREACH FP 2\n }\n"
        " { Cameras\n  { C\n   position FP 0 2 -10\n   zoomFactor FP_C DAT 3 3.2 3 2.8\n   flags I4 8\n"
        "   focalDistance FP 5\n   fStop FP 2.8\n  }\n }\n"
        " { CubeMaps\n  { C\n   name STR \"env\"\n   textureSize I4 16\n  }\n }\n"
        " { Lights\n  { L\n   type I4 0\n   rawColor FP 1 1 1\n   intensity FP 1\n  }\n"
        "  { L\n   type I4 1\n   position FP 0 5 0\n   rawColor FP 1 0.5 0\n   intensity FP 2\n  }\n"
        "  { L\n   type I4 2\n   coneAngles FP_C [\n    DAT 2 0.5 0.6\n    DAT 2 0.1 0.1\n   ]\n   flags I4 32\n"
        "   { Volumetric\n    density FP 0.5\n    base FP 1\n   }\n  }\n"
        "  { L\n   type I4 1\n   falloff I4 1\n   range FP 20\n  }\n }\n"
        " { SceneObjects\n  { S\n   filename STR \"o.lwo\"\n   { Surfaces\n";
    for (int k = 0; k < 3; ++k)
        t += "    { Surf\n     { Parameters\n      { BaseColor\n       value FP_C [\n        DAT 2 1 0\n"
             "        DAT 2 0 1\n        DAT 2 1 1\n       ]\n      }\n"
             "      { Diffuse\n       value FP_C DAT 2 0.5 1\n      }\n      { Sidedness\n       value I4 1\n"
             "      }\n     }\n    }\n";
    t += "   }\n  }\n }\n { Objects\n";
    for (int i = 0; i < objects; ++i) {
        t += "  { O\n   kfilename STR \"" + mesh + "\"\n   filename STR \"o.lwo\"\n";
        t += channel3("position", i) + channel3("rotation", i + 1) + channel3("scale", i + 2);
        t += "   { UseCubeMaps\n    { U\n     renderCubeMap STR \"env\"\n     influence FP 1\n    }\n   }\n  }\n";
    }
    return t + " }\n}\n";
}

}  // namespace kolmtest
