-- Images in a real window: pasted, made and rendered into, and drawn through an effect on the
-- screen quad, read back from screenshots.
package.path = "../../script/lua/?.lua;" .. package.path
local T = require("testlib")
local shotFile = os.tmpname() .. ".bmp"
local RED = "../../data/api/red.png"              -- 4 x 4, opaque red
local EFFECT = "../../data/api/quad_colour.hlsl"  -- a pixel rectangle in a colour

local function shoot()
    ke.Run()
    ke.Sync()
    ke.ScreenShot(shotFile)
    local f = assert(io.open(shotFile, "rb"))
    local data = f:read("*a")
    f:close()
    os.remove(shotFile)
    local offset = data:byte(11) + data:byte(12) * 256
    local width = data:byte(19) + data:byte(20) * 256
    local height = data:byte(23) + data:byte(24) * 256
    local stride = math.floor((width * 3 + 3) / 4) * 4
    return function(x, y)
        local at = offset + (height - 1 - y) * stride + x * 3 + 1
        local b, g, r = data:byte(at, at + 2)
        return r, g, b
    end
end

local function expectColour(px, x, y, r, g, b, what)
    local pr, pg, pb = px(x, y)
    assert(math.abs(pr - r) <= 2 and math.abs(pg - g) <= 2 and math.abs(pb - b) <= 2,
        string.format("%s at (%d, %d): %d %d %d, expected %d %d %d", what, x, y, pr, pg, pb, r, g, b))
end

ke.Setup(320, 240)
ke.ColorBackdrop(0x000000)
ke.ColorAmbientLight(0)
ke.HideLight(0)

T.check("a loaded image pasted in its own size and stretched", function()
    ke.LoadImage(RED, 1)
    assert(ke.ImageWidth(1) == 4 and ke.ImageHeight(1) == 4)
    ke.PasteImage(1, 10, 10)
    ke.PasteImageStretch(1, 100, 100, 40, 20)
    local px = shoot()
    expectColour(px, 12, 12, 255, 0, 0, "own size")
    expectColour(px, 15, 15, 0, 0, 0, "beyond its own size")
    expectColour(px, 138, 118, 255, 0, 0, "stretched")
    expectColour(px, 141, 110, 0, 0, 0, "beyond the stretch")
end)

T.check("the image colour tints a paste", function()
    ke.SetImageColor(0x00FF00)  -- red times green is black
    ke.PasteImageStretch(1, 0, 0, 50, 50)
    ke.SetImageColor(0xFFFFFF)
    expectColour(shoot(), 25, 25, 0, 0, 0, "tinted")
end)

T.raises("a loaded image is not renderable", "Image ID 1 is not renderable", ke.RenderToImage, 1)
T.raises("a missing image", "Image ID 8 does not exist.", ke.PasteImage, 8, 0, 0)
T.raises("non-positive sizes", "invalid image size 0 x 8", ke.MakeImage, 0, 8, 2)

T.check("a made image takes a frame with the 2D queue, which that frame empties", function()
    ke.MakeImage(64, 32, 3)
    ke.MakeImage(64, 32, 3)  -- replaced without error
    assert(ke.ImageWidth(3) == 64 and ke.ImageHeight(3) == 32)
    ke.Ink(0x0000FF)
    ke.Box(0, 0, 32, 32)
    ke.RenderToImage(3)
    local px = shoot()
    expectColour(px, 10, 10, 0, 0, 0, "the box went into the image, not the screen")
    ke.PasteImage(3, 200, 100)
    px = shoot()
    expectColour(px, 210, 110, 0, 0, 255, "the image's box")
    expectColour(px, 250, 110, 0, 0, 0, "the image's backdrop")
end)

T.check("made images are freed and made again many times", function()
    for i = 1, 200 do
        ke.MakeImage(256, 256, 4)
        ke.PasteImage(4, 0, 0)  -- queued: lives until the frame
        ke.DeleteImage(4)
        if i % 50 == 0 then ke.Sync() end
    end
    assert(not ke.ImageExist(4))
end)

T.check("boxes and images drawn by an effect on the screen quad", function()
    ke.LoadEffect(EFFECT, 1)
    ke.SetEffectConstantFloatN(1, "Screen", 320, 240)
    ke.Ink(0x00FF00)
    ke.InkAlpha(255)
    ke.BoxWithEffect(200, 10, 260, 50, 1)
    local px = shoot()
    expectColour(px, 230, 30, 0, 255, 0, "inside the effect box")
    expectColour(px, 265, 30, 0, 0, 0, "beside the effect box")

    ke.SetEffectConstantFloat(1, "UseTexture", 1)
    ke.SetImageColor(0xFFFFFF)
    ke.PasteImageWithEffect(1, 20, 150, 40, 40, 1)
    px = shoot()
    expectColour(px, 40, 170, 255, 0, 0, "the image through the effect")
    expectColour(px, 70, 170, 0, 0, 0, "beside it")
end)

T.check("an effect deleted before the frame skips its entry", function()
    ke.LoadEffect(EFFECT, 2)
    ke.BoxWithEffect(0, 0, 320, 240, 2)
    ke.Ink(0xFF0000)
    ke.Box(0, 0, 10, 10)
    ke.DeleteEffect(2)
    local px = shoot()
    expectColour(px, 160, 120, 0, 0, 0, "skipped")
    expectColour(px, 5, 5, 255, 0, 0, "the next entry")
end)

ke.Term()
T.done()
