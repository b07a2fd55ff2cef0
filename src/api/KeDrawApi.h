// The 2D layer of the object API: the drawing state, the per-frame 2D draw queue (boxes, lines,
// text, images, images and boxes through effects), text fonts and full-screen colour fades.
//
// Contents: drawing state; queueing; text and fonts; colour packing; fades; the queue itself.
//
// Drawing commands do not draw at once: they append to one process-wide queue that the frame
// loop plays back after the scene and the GUI (and then empties), and that a frame which draws
// nothing (minimised window, failed begin) discards. Colours are 0xRRGGBB unless said otherwise;
// a queued entry's colour is 0xAARRGGBB. Main thread only.
#pragma once

#include <cstdint>

namespace kolm {

// ---------------------------------------------------------------------------------------------
// Drawing state (process-wide; not reset by start-up)

// Ink of boxes and lines: stored unchanged (all 32 bits); initially 0xFFFFFF.
void keInk(int colour);
// Ink alpha: stored unchanged; only its low 8 bits reach the colour (300 draws with 44).
void keInkAlpha(int alpha);
// Text colour: its low 24 bits; text alpha: clamped to 0..255.
void keSetTextColor(uint32_t colour);
void keSetTextAlpha(int alpha);
uint32_t keTextColor();
int keTextAlpha();
// Colour and alpha of pasted images, the same rules as the ink.
void keSetImageColor(int colour);
void keSetImageAlpha(int alpha);
// The colour pasted images are drawn with now: image alpha and colour as 0xAARRGGBB.
uint32_t keImageDrawColour();

// ---------------------------------------------------------------------------------------------
// Queueing. Each records "too many 2D draws in one frame" [-1] and queues nothing (-1) when the
// queue holds KE_DRAW_QUEUE_CAPACITY entries or, for text, KE_DRAW_TEXT_SLOTS texts.

// A filled rectangle from (x1, y1) to (x2, y2) and a line, in the ink colour and ink alpha.
int keBox(int x1, int y1, int x2, int y2);
int keLine(int x1, int y1, int x2, int y2);
// A rectangle drawn by an effect on the shared screen quad, in the ink colour and alpha:
// "Effect ID %d does not exist. %s" [5]. An effect deleted before the frame is drawn is skipped.
int keBoxWithEffect(int x1, int y1, int x2, int y2, int effectId);
// Text with its upper left corner at (x, y) in the current font, text colour and text alpha.
// At most KE_DRAW_TEXT_CAPACITY - 1 characters are kept; the rest is cut.
int keText(int x, int y, const char* text);

// ---------------------------------------------------------------------------------------------
// Text and fonts

// Size in pixels of the text set in the current font (the GUI's built-in font when none is
// set), at most KE_DRAW_TEXT_CAPACITY - 1 characters of it; 0 without an engine.
int keTextWidth(const char* text);
int keTextHeight(const char* text);
// Loads a font of the GUI environment (the library's bitmap fonts: an image or an XML font
// file), as named or else where the file search finds it. "The font '%s' cannot be loaded" [1]
// keeps the previous font. The file name outlives the engine: a later start-up loads the font
// again when it is next used.
int keSetTextFont(const char* file);
// The current font's file name, or null when none was set.
const char* keTextFont();
// The font shipped with the engine, an image font in the data folder: ke.SetTextFont with it.
constexpr const char* KE_DEFAULT_FONT_FILE = "fonts/kolm-sans.png";

// ---------------------------------------------------------------------------------------------
// Colour packing: ((r AND 255) << 16) | ((g AND 255) << 8) | (b AND 255); keRGBf packs the
// truncated products r * 255, g * 255 and b * 255 (products beyond 32 bits, or not numbers,
// count as 0).
int keRGB(int r, int g, int b);
int keRGBf(float r, float g, float b);

// ---------------------------------------------------------------------------------------------
// Fades

// Removes any fader, then fades the picture in from the colour (keFadeIn) or out to it
// (keFadeOut) over `timeMs` milliseconds through one full-screen fader of the GUI environment.
// The colour is 0xRRGGBB (its alpha is ignored: the fader runs from opaque to clear). The
// fader follows the device timer, so a frame rendered at a set time shows the fade at that
// time. A negative time counts as 0. -1 without an engine.
int keFadeIn(int timeMs, uint32_t colour);
int keFadeOut(int timeMs, uint32_t colour);
// Removes the fader and its overlay if there is one (a fader of an engine since shut down is
// only forgotten).
int keStopFade();

// ---------------------------------------------------------------------------------------------
// The queue

constexpr int KE_DRAW_QUEUE_CAPACITY = 1024;  // entries per frame
constexpr int KE_DRAW_TEXT_SLOTS = 64;        // text entries per frame
constexpr int KE_DRAW_TEXT_CAPACITY = 512;    // characters of a text slot, terminating zero included

enum KeDrawKind : int32_t {
    KE_DRAW_TEXT = 1,          // x, y, colour, text slot; object: the font (null: built-in)
    KE_DRAW_IMAGE = 2,         // x, y, width, height (-1, -1: own size), use alpha, colour; object: texture
    KE_DRAW_LINE = 3,          // x1, y1, x2, y2, colour
    KE_DRAW_BOX = 4,           // x1, y1, x2, y2, colour
    KE_DRAW_BOX_EFFECT = 5,    // x1, y1, x2, y2, colour, effect ID
    KE_DRAW_IMAGE_EFFECT = 6,  // x, y, width, height, colour, effect ID; object: texture
};

struct KeDrawEntry {
    int32_t kind = 0;
    int32_t field[7] = {};  // colours as the bits of 0xAARRGGBB
    void* object = nullptr;  // font, or texture (the queue holds one reference until emptied)
};

int keDrawQueueCount();
const KeDrawEntry& keDrawQueueEntry(int index);
const char* keDrawQueueText(int slot);
// Appends an entry (the object is grabbed when it is a texture). 0, or -1 after "too many 2D
// draws in one frame" [-1].
int keDrawQueuePush(const KeDrawEntry& entry);
// Plays the queue back on the engine's driver in queueing order, then empties it.
void keDrawQueueDraw();
// Empties the queue without drawing (the textures it held are let go).
void keDrawQueueDiscard();

}  // namespace kolm
