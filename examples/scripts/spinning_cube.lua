-- A lit cube spinning in a window for ten seconds, or until the window is closed.
--
--   kolm examples/scripts/spinning_cube.lua
--
-- With KOLM_FRAMES set, it renders that many frames instead (turning a fixed step per frame, so
-- that the picture does not depend on the machine), saves the last one as KOLM_SCREENSHOT
-- ("spinning_cube.bmp" in the script's folder unless given) and ends.

local frameLimit = tonumber(os.getenv("KOLM_FRAMES") or "")
local screenshot = os.getenv("KOLM_SCREENSHOT") or "spinning_cube.bmp"

ke.Setup(640, 480)                  -- camera at (0, 0, -5), light 0, dark ambient and backdrop
ke.LoadObject("cube.x", 1)          -- found beside the script: Setup left us in its folder
ke.ColorLight(0, 0xFFFFFF)
ke.RotateLight(0, 35, 30, 0)        -- light 0 shines down from the upper left
ke.ColorAmbientLight(0x303030)
ke.ColorBackdrop(0x102040)

local frame = 0
while ke.Run() do
    local angle
    if frameLimit then
        angle = frame * 3
    else
        angle = ke.Timer() * 0.09       -- degrees: a turn every four seconds
        if angle > 900 then break end
    end
    ke.RotateObject(1, angle * 0.5, angle, 0)
    ke.Sync()
    frame = frame + 1
    if frameLimit and frame >= frameLimit then
        ke.ScreenShot(screenshot)
        break
    end
end
ke.Term()
