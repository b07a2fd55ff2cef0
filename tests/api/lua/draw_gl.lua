-- The 2D layer in a real window: boxes, text and fades drawn over the frame and read back from
-- screenshots.
package.path = "../../script/lua/?.lua;" .. package.path
local T = require("testlib")
local shotFile = os.tmpname() .. ".bmp"
local FONT = "../../../data/fonts/kolm-sans.png"  -- the shipped font, from this folder

-- Renders `frames` frames and returns the screenshot as a function (x, y) -> r, g, b (x, y from
-- the top left).
local function shoot(frames)
    for _ = 1, frames or 1 do ke.Run(); ke.Sync() end
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

local function lit(px, x, y)
    local r, g, b = px(x, y)
    return r + g + b > 0
end

-- Pixels that are not black inside and outside the rectangle [x1, x2) x [y1, y2).
local function countLit(px, x1, y1, x2, y2)
    local inside, outside = 0, 0
    for y = 0, 239 do
        for x = 0, 319 do
            if lit(px, x, y) then
                if x >= x1 and x < x2 and y >= y1 and y < y2 then inside = inside + 1 else outside = outside + 1 end
            end
        end
    end
    return inside, outside
end

ke.Setup(320, 240)
ke.ColorBackdrop(0x000000)
ke.ColorAmbientLight(0)

T.check("a red box is drawn once, where it was asked for", function()
    ke.Ink(0xFF0000)
    ke.InkAlpha(255)
    ke.Box(10, 20, 60, 50)
    local px = shoot()
    local r, g, b = px(30, 30)
    assert(r == 255 and g == 0 and b == 0, string.format("inside %d %d %d", r, g, b))
    assert(not lit(px, 5, 30) and not lit(px, 60, 30) and not lit(px, 30, 50), "outside the box")
    px = shoot()  -- the queue was emptied by the frame that drew it
    assert(not lit(px, 30, 30), "drawn again in the next frame")
end)

T.check("ink alpha blends the box", function()
    ke.Ink(0xFFFFFF)
    ke.InkAlpha(128 + 256)  -- only the low byte counts
    ke.Box(0, 0, 320, 240)
    local r, g, b = shoot()(100, 100)
    assert(r > 100 and r < 156 and r == g and g == b, string.format("%d %d %d", r, g, b))
    ke.InkAlpha(255)
end)

T.check("a line lights its pixels only", function()
    ke.Ink(0x00FF00)
    ke.Line(20, 100, 200, 100)
    local px = shoot()
    local _, g = px(100, 100)
    assert(g == 255, "on the line " .. g)
    assert(not lit(px, 100, 110), "beside the line")
end)

T.check("text changes pixels where it is drawn and nowhere far away", function()
    ke.SetTextColor(0xFFFFFF)
    ke.SetTextAlpha(255)
    local w, h = ke.TextWidth("Kolm 42"), ke.TextHeight("Kolm 42")
    assert(w > 10 and h > 5, string.format("size %d x %d", w, h))
    ke.Text(100, 150, "Kolm", 42)
    local inside, outside = countLit(shoot(), 100, 150, 100 + w, 150 + h)
    assert(inside > 10, "lit inside " .. inside)
    assert(outside == 0, "lit outside " .. outside)
end)

T.check("the shipped font sets text larger than the built-in one", function()
    assert(ke.TextFont() == nil, "a font before any was set")
    local small = ke.TextHeight("Ag")
    ke.SetTextFont(FONT)
    assert(ke.TextFont() == FONT)
    local w, h = ke.TextWidth("Ag"), ke.TextHeight("Ag")
    assert(h > small, string.format("height %d, built-in %d", h, small))
    ke.SetTextColor(0xFFFF00)
    ke.Text(40, 60, "Ag")
    local px = shoot()
    local inside, outside = countLit(px, 40, 60, 40 + w, 60 + h)
    assert(inside > 20 and outside == 0, string.format("lit %d inside, %d outside", inside, outside))
end)

T.raises("a font that cannot be loaded", "The font 'no-such-font.png' cannot be loaded", ke.SetTextFont,
    "no-such-font.png")

T.check("the font outlives a restart", function()
    ke.Term()
    ke.Setup(320, 240)
    ke.ColorBackdrop(0x000000)
    ke.ColorAmbientLight(0)
    assert(ke.TextFont() == FONT)
    ke.Text(40, 60, "Ag")
    local inside = countLit(shoot(), 40, 60, 40 + ke.TextWidth("Ag"), 60 + ke.TextHeight("Ag"))
    assert(inside > 20, "lit " .. inside)
end)

T.check("the 1025th box of a frame fails, the next frame takes boxes again", function()
    for i = 1, 1024 do ke.Box(0, 0, 1, 1) end
    local ok, err = pcall(ke.Box, 0, 0, 1, 1)
    assert(not ok and tostring(err):find("too many 2D draws in one frame", 1, true), tostring(err))
    ke.Sync()
    ke.Box(0, 0, 1, 1)
end)

T.check("a fade out ends in its colour, a fade in ends clear, StopFade removes it", function()
    ke.FadeOut(1, 0xFF0000)
    ke.Sleep(20)
    local r, g, b = shoot(2)(160, 120)
    assert(r == 255 and g == 0 and b == 0, string.format("faded out %d %d %d", r, g, b))
    ke.StopFade()
    r, g, b = shoot()(160, 120)
    assert(r == 0, string.format("after StopFade %d %d %d", r, g, b))
    ke.FadeIn(-100, 0x0000FF)  -- a negative time is no time
    ke.Sleep(20)
    r, g, b = shoot(2)(160, 120)
    assert(b == 0, string.format("faded in %d %d %d", r, g, b))
end)

T.check("a fade does not outlive the engine", function()
    ke.FadeOut(1, 0xFF0000)
    ke.Term()
    ke.Setup(320, 240)
    ke.ColorBackdrop(0x000000)
    ke.ColorAmbientLight(0)
    ke.StopFade()  -- forgets nothing of the old engine's GUI
    local r = shoot(2)(160, 120)
    assert(r == 0, "red after a restart " .. r)
end)

T.check("window and screen", function()
    assert(ke.ScreenWidth() == 320 and ke.ScreenHeight() == 240)
    assert(ke.WindowMode() == false)
    local depth = ke.ScreenDepth()
    assert(depth == 24 or depth == 32, "depth " .. depth)
    assert(type(ke.IsWindowActive()) == "boolean")
    ke.HideWindow()
    ke.ShowWindow()
    ke.Sync()
end)

T.check("RGB helpers", function()
    assert(ke.RGB(255, 128, 1) == 0xFF8001)
    assert(ke.RGBf(1, 0.5, 0) == 0xFF7F00)
end)

ke.Term()
T.done()
