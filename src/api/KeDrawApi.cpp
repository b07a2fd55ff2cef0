// Contents: state; the queue; playback; drawing state and queueing commands; text and fonts;
// colour packing; fades; shut-down.
#include "api/KeDrawApi.h"

#include "api/KeEffectApi.h"
#include "api/KeImageApi.h"
#include "core/KeError.h"
#include "core/KeIdTableKinds.h"
#include "engine/IKeManager.h"
#include "engine/IKeRenderServices.h"
#include "files/KeFileSystem.h"
#include "fx/IKeEffect.h"
#include "fx/KeEffectRuntime.h"
#include "runtime/KeEngine.h"

#include <cmath>
#include <cstring>
#include <string>

namespace kolm {

using namespace irr;

namespace {

// ---------------------------------------------------------------------------------------------
// State

uint32_t g_ink = 0xFFFFFF;
int g_inkAlpha = 255;
uint32_t g_textColour = 0xFFFFFF;
int g_textAlpha = 255;
uint32_t g_imageColour = 0xFFFFFF;
int g_imageAlpha = 255;

// The current font: its file name lives for the process; the font itself belongs to the GUI
// environment of the engine that loaded it and is forgotten at shut-down.
std::string g_fontFile;
bool g_hasFontFile = false;
gui::IGUIFont* g_font = nullptr;

KeDrawEntry g_entries[KE_DRAW_QUEUE_CAPACITY];
int g_count = 0;
char g_texts[KE_DRAW_TEXT_SLOTS][KE_DRAW_TEXT_CAPACITY];
int g_textCount = 0;
wchar_t g_wide[KE_DRAW_TEXT_CAPACITY];  // the text being drawn or measured, widened

// The one fader and the GUI environment that owns it: a fader of an environment that is no
// longer the engine's went with that environment.
gui::IGUIInOutFader* g_fader = nullptr;
gui::IGUIEnvironment* g_faderGui = nullptr;

void layerStep(Ke2DStep step);

// The frame loop reaches the queue through its hook, installed by the first use of the layer.
void installLayer() { keSet2DLayerHook(&layerStep); }

bool holdsTexture(int32_t kind) { return kind == KE_DRAW_IMAGE || kind == KE_DRAW_IMAGE_EFFECT; }

uint32_t withAlpha(int alpha, uint32_t colour) { return (static_cast<uint32_t>(alpha & 255) << 24) | colour; }

bool queueFull() {
    if (g_count < KE_DRAW_QUEUE_CAPACITY) return false;
    recordError(-1, "too many 2D draws in one frame");
    return true;
}

// Widens text byte by byte (each byte one character), at most KE_DRAW_TEXT_CAPACITY - 1.
const wchar_t* widen(const char* text) {
    int n = 0;
    if (text) {
        for (; n < KE_DRAW_TEXT_CAPACITY - 1 && text[n]; ++n) g_wide[n] = static_cast<wchar_t>(static_cast<unsigned char>(text[n]));
    }
    g_wide[n] = 0;
    return g_wide;
}

// A font file of the GUI environment, as named or where the file search finds it; null when it
// cannot be loaded. The library logs a font file it cannot open: the file is looked for first.
gui::IGUIFont* loadFont(const EngineContext& engine, const char* file) {
    if (!engine.started || !engine.gui || !engine.device || !file || !*file) return nullptr;
    io::IFileSystem* fs = engine.device->getFileSystem();
    const char* path = fs->existFile(file) ? file : keFindFile(file);
    return fs->existFile(path) ? engine.gui->getFont(path) : nullptr;
}

// The font to set text in now: the current one (loaded again after a restart), else the GUI's
// built-in font; null without an engine.
gui::IGUIFont* currentFont() {
    const EngineContext& engine = keEngineContext();
    if (!engine.started || !engine.gui) return nullptr;
    if (!g_font && g_hasFontFile) {
        g_font = loadFont(engine, g_fontFile.c_str());
        if (g_font) installLayer();
    }
    return g_font ? g_font : engine.defaultFont;
}

// ---------------------------------------------------------------------------------------------
// Playback

// Bitmap fonts are drawn through their sprite banks, the glyphs of one texture in one batch
// whose arrays keep their room from frame to frame: the library's own text drawing builds two
// arrays per call, and a frame allocates nothing.
core::array<core::position2di> g_glyphPositions;
core::array<core::rect<s32>> g_glyphRects;

void drawText(gui::IGUIFont* font, const wchar_t* text, int x, int y, video::SColor colour) {
    video::IVideoDriver* driver = keEngineContext().driver;
    if (font->getType() != gui::EGFT_BITMAP) {
        static core::stringw scratch;  // keeps its room from frame to frame
        scratch = text;
        font->draw(scratch, core::rect<s32>(x, y, x, y), colour, false, false, nullptr);
        return;
    }
    auto* bitmap = static_cast<gui::IGUIFontBitmap*>(font);
    gui::IGUISpriteBank* bank = bitmap->getSpriteBank();
    if (!bank || bank->getTextureCount() == 0) return;
    if (g_glyphPositions.allocated_size() < u32(KE_DRAW_TEXT_CAPACITY)) {
        g_glyphPositions.reallocate(KE_DRAW_TEXT_CAPACITY);
        g_glyphRects.reallocate(KE_DRAW_TEXT_CAPACITY);
    }
    g_glyphPositions.set_used(0);
    g_glyphRects.set_used(0);
    const core::array<gui::SGUISprite>& sprites = bank->getSprites();
    const core::array<core::rect<s32>>& rects = bank->getPositions();
    const s32 lineHeight = static_cast<s32>(font->getDimension(L"").Height);
    core::position2di pen(x, y);
    wchar_t one[2] = {0, 0};
    for (const wchar_t* p = text; *p; ++p) {
        if (*p == L'\r' || *p == L'\n') {
            if (*p == L'\r' && p[1] == L'\n') ++p;
            pen.X = x;
            pen.Y += lineHeight;
            continue;
        }
        one[0] = *p;
        const s32 sprite = static_cast<s32>(bitmap->getSpriteNoFromChar(one));
        if (*p != L' ' && sprite >= 0 && u32(sprite) < sprites.size() && !sprites[u32(sprite)].Frames.empty()) {
            const gui::SGUISpriteFrame& frame = sprites[u32(sprite)].Frames[0];
            if (frame.textureNumber == 0 && frame.rectNumber < rects.size()) {
                g_glyphPositions.push_back(pen);
                g_glyphRects.push_back(rects[frame.rectNumber]);
            } else {
                bank->draw2DSprite(u32(sprite), pen, nullptr, colour);  // a font over several textures
            }
        }
        pen.X += static_cast<s32>(font->getDimension(one).Width);
    }
    if (g_glyphPositions.size())
        driver->draw2DImageBatch(bank->getTexture(0), g_glyphPositions, g_glyphRects, nullptr, colour, true);
}

void drawImage(video::IVideoDriver* driver, video::ITexture* texture, const KeDrawEntry& e) {
    const video::SColor colour(static_cast<u32>(e.field[5]));
    const bool useAlpha = e.field[4] != 0;
    const core::dimension2d<u32> size = texture->getOriginalSize();
    const core::rect<s32> source(0, 0, static_cast<s32>(size.Width), static_cast<s32>(size.Height));
    if (e.field[2] >= 0 && e.field[3] >= 0) {
        const core::rect<s32> dest(e.field[0], e.field[1], e.field[0] + e.field[2], e.field[1] + e.field[3]);
        const video::SColor colours[4] = {colour, colour, colour, colour};
        driver->enableMaterial2D(true);
        driver->draw2DImage(texture, dest, source, nullptr, colours, useAlpha);
        driver->enableMaterial2D(false);
    } else {
        driver->draw2DImage(texture, core::position2di(e.field[0], e.field[1]), source, nullptr, colour, useAlpha);
    }
}

// Kinds 5 and 6: the effect (skipped when it was deleted since) draws the shared screen quad
// with the parameters "Rectangle" (x, y, width, height in pixels), "Color" (0..1 each) and, for
// images, "Image"; the image also goes into texture layer 0 for effects whose samplers are
// numbered rather than named.
void drawWithEffect(const KeDrawEntry& e) {
    IKeEffect* effect = keEffectGet(e.field[5]);
    IKeManager* manager = keEngineManager();
    IKeRenderServices* services = manager ? manager->getRenderServices() : nullptr;
    if (!effect || !services) return;
    const int32_t* f = e.field;
    auto* texture = static_cast<video::ITexture*>(e.object);
    f32 rectangle[4] = {f32(f[0]), f32(f[1]), f32(f[2] - f[0]), f32(f[3] - f[1])};
    if (e.kind == KE_DRAW_IMAGE_EFFECT) {
        const bool ownSize = f[2] < 0 || f[3] < 0;
        const core::dimension2d<u32> size = texture ? texture->getOriginalSize() : core::dimension2d<u32>(0, 0);
        rectangle[2] = ownSize ? f32(size.Width) : f32(f[2]);
        rectangle[3] = ownSize ? f32(size.Height) : f32(f[3]);
    }
    const u32 c = static_cast<u32>(f[4]);
    const f32 colour[4] = {f32((c >> 16) & 255) / 255.0f, f32((c >> 8) & 255) / 255.0f, f32(c & 255) / 255.0f,
                           f32(c >> 24) / 255.0f};
    effect->setFloatArray("Rectangle", rectangle, 4);
    effect->setFloatArray("Color", colour, 4);
    if (texture) effect->setTexture("Image", texture, false);
    const SKeFxTechnique* technique = effect->getFxTechnique(0);
    const u32 passes = technique ? technique->passes.size() : 0;
    for (u32 p = 0; p < passes; ++p) services->drawScreenQuad(effect, 0, static_cast<s32>(p), texture);
}

void releaseEntries() {
    for (int i = 0; i < g_count; ++i) {
        if (holdsTexture(g_entries[i].kind) && g_entries[i].object)
            static_cast<video::ITexture*>(g_entries[i].object)->drop();
        g_entries[i].object = nullptr;
    }
    g_count = 0;
    g_textCount = 0;
}

void playBack() {
    const EngineContext& engine = keEngineContext();
    video::IVideoDriver* driver = engine.driver;
    if (!driver) return;
    for (int i = 0; i < g_count; ++i) {
        const KeDrawEntry& e = g_entries[i];
        const int32_t* f = e.field;
        switch (e.kind) {
        case KE_DRAW_TEXT: {
            gui::IGUIFont* font = e.object ? static_cast<gui::IGUIFont*>(e.object) : engine.defaultFont;
            if (font) drawText(font, widen(g_texts[f[3]]), f[0], f[1], video::SColor(static_cast<u32>(f[2])));
            break;
        }
        case KE_DRAW_IMAGE:
            drawImage(driver, static_cast<video::ITexture*>(e.object), e);
            break;
        case KE_DRAW_LINE:
            driver->draw2DLine(core::position2di(f[0], f[1]), core::position2di(f[2], f[3]), video::SColor(static_cast<u32>(f[4])));
            break;
        case KE_DRAW_BOX: {
            const video::SColor c(static_cast<u32>(f[4]));
            driver->draw2DRectangle(core::rect<s32>(f[0], f[1], f[2], f[3]), c, c, c, c);
            break;
        }
        case KE_DRAW_BOX_EFFECT:
        case KE_DRAW_IMAGE_EFFECT:
            drawWithEffect(e);
            break;
        default:
            break;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Shut-down

// Whatever belongs to the engine's GUI and driver goes with them: the queue (its fonts and
// textures), the font (its file name stays), the fader and the images.
void shutDown() {
    releaseEntries();
    g_font = nullptr;
    keStopFade();
    keDeleteAllImages();
}

void layerStep(Ke2DStep step) {
    switch (step) {
    case Ke2DStep::Draw:
        playBack();
        releaseEntries();
        break;
    case Ke2DStep::Discard:
        releaseEntries();
        break;
    case Ke2DStep::Shutdown:
        shutDown();
        break;
    }
}

int startFade(int timeMs, uint32_t colour, bool fadeIn) {
    EngineContext& engine = keEngineContext();
    if (!engine.started || !engine.gui) return -1;
    keStopFade();
    installLayer();
    const core::rect<s32> screen(0, 0, engine.screenWidth, engine.screenHeight);
    g_fader = engine.gui->addInOutFader(&screen, nullptr, -1);
    if (!g_fader) return -1;
    g_faderGui = engine.gui;
    g_fader->setColor(video::SColor(colour));
    // The library's fader divides by its length: a fade of 0 ms is one of 1 ms, over at once.
    const u32 length = timeMs > 1 ? static_cast<u32>(timeMs) : 1u;
    if (fadeIn)
        g_fader->fadeIn(length);
    else
        g_fader->fadeOut(length);
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The queue

int keDrawQueueCount() { return g_count; }

const KeDrawEntry& keDrawQueueEntry(int index) {
    static const KeDrawEntry none;
    return index >= 0 && index < g_count ? g_entries[index] : none;
}

const char* keDrawQueueText(int slot) { return slot >= 0 && slot < g_textCount ? g_texts[slot] : ""; }

int keDrawQueuePush(const KeDrawEntry& entry) {
    if (queueFull()) return -1;
    installLayer();
    g_entries[g_count] = entry;
    if (holdsTexture(entry.kind) && entry.object) static_cast<video::ITexture*>(entry.object)->grab();
    ++g_count;
    return 0;
}

void keDrawQueueDraw() { layerStep(Ke2DStep::Draw); }

void keDrawQueueDiscard() { releaseEntries(); }

// ---------------------------------------------------------------------------------------------
// Drawing state and queueing

void keInk(int colour) { g_ink = static_cast<uint32_t>(colour); }
void keInkAlpha(int alpha) { g_inkAlpha = alpha; }
void keSetTextColor(uint32_t colour) { g_textColour = colour & 0xFFFFFFu; }
void keSetTextAlpha(int alpha) { g_textAlpha = alpha < 0 ? 0 : alpha > 255 ? 255 : alpha; }
uint32_t keTextColor() { return g_textColour; }
int keTextAlpha() { return g_textAlpha; }
void keSetImageColor(int colour) { g_imageColour = static_cast<uint32_t>(colour); }
void keSetImageAlpha(int alpha) { g_imageAlpha = alpha; }

uint32_t keImageDrawColour() { return withAlpha(g_imageAlpha, g_imageColour); }

namespace {

int queueShape(int32_t kind, int x1, int y1, int x2, int y2) {
    KeDrawEntry e;
    e.kind = kind;
    e.field[0] = x1;
    e.field[1] = y1;
    e.field[2] = x2;
    e.field[3] = y2;
    e.field[4] = static_cast<int32_t>(withAlpha(g_inkAlpha, g_ink));
    return keDrawQueuePush(e);
}

}  // namespace

int keBox(int x1, int y1, int x2, int y2) { return queueShape(KE_DRAW_BOX, x1, y1, x2, y2); }
int keLine(int x1, int y1, int x2, int y2) { return queueShape(KE_DRAW_LINE, x1, y1, x2, y2); }

int keBoxWithEffect(int x1, int y1, int x2, int y2, int effectId) {
    if (!keEffectGet(effectId)) {
        keIdRecordMissing(KeIdKind::Effect, effectId, 5);
        return -1;
    }
    KeDrawEntry e;
    e.kind = KE_DRAW_BOX_EFFECT;
    e.field[0] = x1;
    e.field[1] = y1;
    e.field[2] = x2;
    e.field[3] = y2;
    e.field[4] = static_cast<int32_t>(withAlpha(g_inkAlpha, g_ink));
    e.field[5] = effectId;
    return keDrawQueuePush(e);
}

int keText(int x, int y, const char* text) {
    if (g_textCount >= KE_DRAW_TEXT_SLOTS) {
        recordError(-1, "too many 2D draws in one frame");
        return -1;
    }
    if (queueFull()) return -1;
    KeDrawEntry e;
    e.kind = KE_DRAW_TEXT;
    e.object = currentFont() == keEngineContext().defaultFont ? nullptr : g_font;
    e.field[0] = x;
    e.field[1] = y;
    e.field[2] = static_cast<int32_t>(withAlpha(g_textAlpha, g_textColour));
    e.field[3] = g_textCount;
    char* slot = g_texts[g_textCount];
    const size_t n = text ? strnlen(text, KE_DRAW_TEXT_CAPACITY - 1) : 0;
    if (n) std::memcpy(slot, text, n);
    slot[n] = '\0';
    ++g_textCount;
    return keDrawQueuePush(e);
}

// ---------------------------------------------------------------------------------------------
// Text and fonts

int keTextWidth(const char* text) {
    gui::IGUIFont* font = currentFont();
    return font ? static_cast<int>(font->getDimension(widen(text)).Width) : 0;
}

int keTextHeight(const char* text) {
    gui::IGUIFont* font = currentFont();
    return font ? static_cast<int>(font->getDimension(widen(text)).Height) : 0;
}

int keSetTextFont(const char* file) {
    gui::IGUIFont* font = loadFont(keEngineContext(), file);
    if (!font) {
        recordError(1, "The font '%s' cannot be loaded", file ? file : "");
        return -1;
    }
    installLayer();
    g_font = font;
    g_fontFile = file;
    g_hasFontFile = true;
    return 0;
}

const char* keTextFont() { return g_hasFontFile ? g_fontFile.c_str() : nullptr; }

// ---------------------------------------------------------------------------------------------
// Colour packing

int keRGB(int r, int g, int b) { return ((r & 255) << 16) | ((g & 255) << 8) | (b & 255); }

namespace {

int truncatedProduct(float v) {
    const double p = static_cast<double>(v) * 255.0;
    return (std::isfinite(p) && p > -2147483649.0 && p < 2147483648.0) ? static_cast<int>(p) : 0;
}

}  // namespace

int keRGBf(float r, float g, float b) { return keRGB(truncatedProduct(r), truncatedProduct(g), truncatedProduct(b)); }

// ---------------------------------------------------------------------------------------------
// Fades

int keFadeIn(int timeMs, uint32_t colour) { return startFade(timeMs, colour, true); }

int keFadeOut(int timeMs, uint32_t colour) { return startFade(timeMs, colour, false); }

int keStopFade() {
    const EngineContext& engine = keEngineContext();
    if (g_fader && engine.started && engine.gui == g_faderGui) g_fader->remove();
    g_fader = nullptr;
    g_faderGui = nullptr;
    return 0;
}

}  // namespace kolm
