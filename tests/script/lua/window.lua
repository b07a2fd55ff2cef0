-- The example's steps in a real window: a lit cube drawn and saved as a screenshot whose centre
-- shows the cube and whose corner shows the backdrop.
local T = require("testlib")
local shot = os.tmpname() .. ".bmp"

ke.Setup(320, 240)
ke.LoadObject("../../../examples/scripts/cube.x", 1)
ke.RotateObject(1, 20, 30, 0)
ke.ColorBackdrop(0x0000FF)
for _ = 1, 3 do ke.Sync() end
ke.ScreenShot(shot)

-- 24-bit bottom-up BMP: the pixel at (x, y) from the top left, as r, g, b.
local function pixel(data, x, y)
    local offset = data:byte(11) + data:byte(12) * 256
    local width = data:byte(19) + data:byte(20) * 256
    local height = data:byte(23) + data:byte(24) * 256
    local stride = math.floor((width * 3 + 3) / 4) * 4
    local at = offset + (height - 1 - y) * stride + x * 3 + 1
    local b, g, r = data:byte(at, at + 2)
    return r, g, b
end

T.check("screenshot", function()
    local f = assert(io.open(shot, "rb"))
    local data = f:read("*a")
    f:close()
    os.remove(shot)
    local r, g, b = pixel(data, 2, 2)
    assert(r == 0 and g == 0 and b == 255, string.format("corner %d %d %d", r, g, b))
    r, g, b = pixel(data, 160, 120)
    assert(r > b and r > 0, string.format("centre %d %d %d", r, g, b))  -- orange, lit
end)
ke.Term()
T.done()
