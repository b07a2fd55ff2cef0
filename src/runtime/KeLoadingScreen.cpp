#include "runtime/KeLoadingScreen.h"

#include <algorithm>

namespace kolm {

KeLoadingBar keLoadingBarLayout(int32_t W, int32_t H, int32_t pictureHeight, int32_t p) {
    int32_t w = W / 2;
    int32_t h = H / 10;
    const int32_t c = h / 4;
    const int32_t o = pictureHeight >= 0 ? h + pictureHeight / 2 : 0;
    auto centred = [&](int32_t bw, int32_t bh, uint32_t color) {
        return KeBox{(W - bw) / 2, (H - bh) / 2 + o, bw, bh, color};
    };
    KeLoadingBar out;
    out.frame = centred(w, h, 0xFFFFFFFFu);
    out.inside = centred(w - c, h - c, 0xFF000000u);
    w = std::max<int32_t>(1, w - 2 * c);
    h = std::max<int32_t>(1, h - 2 * c);
    out.bar = KeBox{(W - w) / 2, (H - h) / 2 + o, p * w / 100, h, 0xFF4488FFu};
    return out;
}

// A cross of two bar gauges at +45 and -45 degrees in a square space centred on the screen.
const char* const kKeLoadingShaderSource = R"(
float2 resolution;
float progress;

struct VS_OUT {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
};

VS_OUT vs_main(float4 pos : POSITION, float2 uv : TEXCOORD0)
{
    VS_OUT o;
    o.pos = pos;
    o.uv = uv;
    return o;
}

// 1 inside an axis-aligned box of the given half sizes, 0 outside.
float insideBox(float2 p, float2 halfSize)
{
    float2 d = step(abs(p), halfSize);
    return d.x * d.y;
}

// One gauge along the x axis: white outline with a hollow and a gap at the centre, and a fill
// that grows from the centre with the progress.
float4 gauge(float2 p, float t)
{
    float gap = step(0.03, abs(p.x));
    float outline = insideBox(p, float2(0.255, 0.04)) * (1.0 - insideBox(p, float2(0.245, 0.03))) * gap;
    float halfLength = min(0.018 + 0.224 * t, 0.235);
    float fill = insideBox(p, float2(halfLength, 0.02)) * gap;
    float3 fillColor = lerp(float3(0.2, 0.5, 0.8), float3(1.0, 1.0, 1.0), pow(saturate(t), 5.0));
    if (outline > 0.5) return float4(1.0, 1.0, 1.0, 1.0);
    if (fill > 0.5) return float4(fillColor, 1.0);
    return float4(0.0, 0.0, 0.0, 0.0);
}

float4 ps_main(float2 uv : TEXCOORD0) : COLOR0
{
    float t = progress;
    float2 q = uv - 0.5;
    q.y *= resolution.y / max(resolution.x, 1.0);
    q *= 1.5;
    q /= max(min(1.0, t), 0.001);
    const float c = 0.70710678;
    float2 a = float2(c * q.x - c * q.y, c * q.x + c * q.y);
    float2 b = float2(c * q.x + c * q.y, -c * q.x + c * q.y);
    float4 g1 = gauge(a, t);
    float4 g2 = gauge(b, t);
    float4 col = g1.a > 0.5 ? g1 : g2;
    float fade = 1.0 - saturate((t - 1.0) / 0.2);
    return float4(col.rgb * col.a * fade, 1.0);
}
)";

}  // namespace kolm

// ---------------------------------------------------------------------------------------------
// Drawing

#include "runtime/KeEngine.h"
#include "runtime/KeLoadingShader.h"
#include "files/KeFileSystem.h"

#include <cstdio>

namespace kolm {
namespace {

struct LoadingState {
    bool initialised = false;
    irr::video::ITexture* picture = nullptr;  // owned by the driver's texture cache
    KeLoadingShader shader;
};
LoadingState g_loading;

void drawBar(irr::video::IVideoDriver* driver, int W, int H, int pictureHeight, int p) {
    const KeLoadingBar bar = keLoadingBarLayout(W, H, pictureHeight, p);
    for (const KeBox& b : {bar.frame, bar.inside, bar.bar}) {
        if (b.w <= 0 || b.h <= 0) continue;
        driver->draw2DRectangle(irr::video::SColor(b.color), irr::core::recti(b.x, b.y, b.x + b.w, b.y + b.h));
    }
}

}  // namespace

void keLoadingPrepare() {
    EngineContext& c = keEngineContext();
    if (!c.driver) return;
    // The picture for every preparation (the finish of the last one forgot it); the shader once.
    if (!g_loading.picture) {
        const char* png = keFindFile("loading.png");
        if (c.device->getFileSystem()->existFile(png)) g_loading.picture = c.driver->getTexture(png);
        g_loading.shader.picture = g_loading.picture;
    }
    if (g_loading.initialised) return;
    keLoadingShaderCreate(&g_loading.shader, g_loading.picture);
    g_loading.initialised = true;
}

bool keLoadingHasShader() { return g_loading.shader.material >= 0; }
bool keLoadingHasPicture() { return g_loading.picture != nullptr; }

void keLoadingFrame(int p, const char* capturePath) {
    EngineContext& c = keEngineContext();
    if (!c.driver) return;
    irr::video::IVideoDriver* driver = c.driver;
    const irr::core::dimension2d<irr::u32> size = driver->getScreenSize();
    const int W = static_cast<int>(size.Width), H = static_cast<int>(size.Height);
    if (!driver->beginScene(true, true, irr::video::SColor(255, 0, 0, 0))) return;
    if (!keIsPackaged()) {
        // Development runs: the bar and the percentage, nothing else.
        if (p > 0) drawBar(driver, W, H, -1, p);
        if (c.defaultFont) {
            wchar_t text[32];
            std::swprintf(text, 32, L"%d%%", p);
            c.defaultFont->draw(text, irr::core::recti(10, 10, 512, 60), irr::video::SColor(255, 255, 255, 255));
        }
    } else if (keLoadingHasShader()) {
        keLoadingShaderDraw(&g_loading.shader, static_cast<float>(p) / 100.0f, W, H);
    } else {
        int pictureHeight = -1;
        if (g_loading.picture) {
            const irr::core::dimension2d<irr::u32> ps = g_loading.picture->getOriginalSize();
            pictureHeight = static_cast<int>(ps.Height);
            driver->draw2DImage(g_loading.picture,
                                irr::core::position2di((W - static_cast<int>(ps.Width)) / 2, (H - pictureHeight) / 2));
        }
        drawBar(driver, W, H, pictureHeight, p);
    }
    kePresentFrame();
    if (capturePath) keScreenShot(capturePath);
}

void keLoadingFinish() {
    if (keLoadingHasShader()) {
        for (int p = 100; p < 130; ++p) keLoadingFrame(p);
    } else {
        keLoadingFrame(100);
    }
    g_loading.picture = nullptr;
    g_loading.shader.picture = nullptr;
}

void keLoadingRelease() {
    keLoadingShaderRelease(&g_loading.shader);
    g_loading.initialised = false;
    g_loading.picture = nullptr;
}

}  // namespace kolm
