-- A spinning cube under a 2D read-out: a caption in the engine's shipped font, a translucent
-- panel with the running time, a picture-in-picture view of the scene rendered into an image
-- from another side, and fades in from black at the start and out to white at the end.
-- Ten seconds, or until Escape or the window is closed.
--
--   kolm examples/scripts/hud.lua
--
-- With KOLM_FRAMES set, it renders that many frames instead (a fixed step per frame, so that the
-- picture does not depend on the machine), lets the fade out run for half a second, saves the
-- last frame as KOLM_SCREENSHOT ("hud.bmp" in the script's folder unless given) and ends.

local frameLimit = tonumber(os.getenv("KOLM_FRAMES") or "")
local screenshot = os.getenv("KOLM_SCREENSHOT") or "hud.bmp"
local W, H = 640, 480
local INSET = 1                         -- image ID of the picture-in-picture view
local INSET_W, INSET_H = 192, 144

ke.Setup(W, H)
ke.LoadObject("cube.x", 1)
ke.ColorLight(0, 0xFFFFFF)
ke.RotateLight(0, 35, 30, 0)
ke.ColorAmbientLight(0x303030)
ke.ColorBackdrop(0x102040)
ke.SetTextFont("fonts/kolm-sans.png")   -- the font shipped in the engine's data folder
ke.MakeImage(INSET_W, INSET_H, INSET)
ke.FadeIn(800, 0x000000)

-- The inset: the cube seen from above, on a backdrop of its own.
local function renderInset()
    ke.PositionCamera(0, 5, 0)
    ke.RotateCamera(90, 0, 0)
    ke.ColorBackdrop(0x402010)
    ke.RenderToImage(INSET)
    ke.ColorBackdrop(0x102040)
    ke.PositionCamera(0, 0, -5)
    ke.RotateCamera(0, 0, 0)
end

local function drawHud(ms, frame)
    -- Caption, underlined.
    ke.SetTextColor(0xFFFFFF)
    ke.SetTextAlpha(255)
    ke.Text(20, 16, "Kolm HUD")
    ke.Ink(0xFFCC00)
    ke.InkAlpha(255)
    ke.Line(20, 40, 20 + ke.TextWidth("Kolm HUD"), 40)

    -- The inset with a frame around it.
    local x, y = W - INSET_W - 20, 20
    ke.Ink(0xFFFFFF)
    ke.Box(x - 2, y - 2, x + INSET_W + 2, y + INSET_H + 2)
    ke.PasteImage(INSET, x, y)

    -- A translucent panel with the time and the frame.
    ke.Ink(0x000000)
    ke.InkAlpha(160)
    ke.Box(20, H - 84, 360, H - 20)
    ke.SetTextColor(0x80FF80)
    ke.Text(32, H - 76, string.format("time  %6.2f s", ms / 1000))
    ke.SetTextColor(0xC0C0C0)
    ke.Text(32, H - 50, "frame ", frame)
end

local frame = 0
local fadingOut = false
while ke.Run() and not ke.EscapeKey() do
    local ms
    if frameLimit then
        ms = frame * 40
    else
        ms = ke.Timer()
        if ms > 10000 then break end
        if ms > 9000 and not fadingOut then
            ke.FadeOut(1000, 0xFFFFFF)
            fadingOut = true
        end
    end
    local angle = ms * 0.09             -- degrees: a turn every four seconds
    ke.RotateObject(1, angle * 0.5, angle, 0)
    renderInset()
    drawHud(ms, frame)
    ke.Sync()
    frame = frame + 1
    if frameLimit and frame >= frameLimit then
        ke.FadeOut(2000, 0xFFFFFF)
        ke.Sleep(500)
        ke.Run()
        renderInset()
        drawHud(ms, frame)
        ke.Sync()
        ke.ScreenShot(screenshot)
        break
    end
end
ke.Term()
