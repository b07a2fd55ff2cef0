// The loading screen shown while scenes and demos load: the picture "loading.png", a
// progress bar drawn in integer arithmetic, the percentage text, or the loading shader.
#pragma once

#include <cstdint>

namespace kolm {

struct KeBox {
    int32_t x, y, w, h;  // pixels, top-left origin
    uint32_t color;      // 0xAARRGGBB
};

// The three boxes of the progress bar for a W x H screen at percentage p: the white frame, the
// black inside and the bar. pictureHeight is the height of "loading.png" or -1 when there is no
// picture (the bar then sits in the middle of the screen instead of under the picture).
struct KeLoadingBar {
    KeBox frame, inside, bar;
};
KeLoadingBar keLoadingBarLayout(int32_t screenW, int32_t screenH, int32_t pictureHeight, int32_t percent);

// HLSL source of the built-in loading shader (entries vs_main and ps_main; pixel constants
// "resolution" (width, height in pixels) and "progress" (0 to 1, and on to 1.29 while the
// picture fades out at the end of demo loading)).
extern const char* const kKeLoadingShaderSource;

}  // namespace kolm

namespace kolm {

// Loads "loading.png" when the file exists (again after keLoadingFinish forgot it) and creates
// the loading shader once (from "loading.hlsl" when that file exists, else from the built-in
// source). Needs a running engine.
void keLoadingPrepare();
// Draws one loading frame at percentage p (whole frame: begin, draw, present). With capturePath
// the presented frame is also written there.
void keLoadingFrame(int percent, const char* capturePath = nullptr);
// Demo loading ends with 30 frames at 100 to 129 when the shader exists, else one at 100; the
// picture is then forgotten.
void keLoadingFinish();
// True when the loading shader exists.
bool keLoadingHasShader();
// True while "loading.png" is loaded for the loading frames.
bool keLoadingHasPicture();
// Forgets the picture and the shader (engine shut-down).
void keLoadingRelease();

}  // namespace kolm
