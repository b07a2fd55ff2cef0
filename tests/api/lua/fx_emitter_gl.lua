-- Fx emitters from a script in a real window: a box of sparks drawn through the particle effect
-- and read back from a screenshot, replacing an emitter by ID, the emission setters, and the
-- errors scripts get.
package.path = "../../script/lua/?.lua;" .. package.path
local T = require("testlib")
local shotFile = os.tmpname() .. ".bmp"
local EFFECT = "../../../data/shadersHV/Particle.hlsl"

-- Pixels of the frame just presented, as function(x, y) -> r, g, b (y from the top).
local function shoot()
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
    end, width, height
end

ke.Setup(320, 240)
ke.ColorBackdrop(0x000000)
ke.PositionCamera(0, 0, -6)

T.check("a box of orange sparks lights the middle of the picture", function()
    ke.MakeFxEmitterBox(1, "", 3, 2, 1)
    ke.SetFxEmitterColor(1, 0xFF8000)
    ke.SetFxEmitterParticleSize(1, 0.15)
    ke.SetFxEmitterLifeTime(1, 5)
    ke.SetFxEmitterResistance(1, 0)
    ke.SetFxEmitterEffectFromFile(1, EFFECT)
    ke.SetFxEmitterBirthRate(1, 4000)
    for _ = 1, 30 do
        ke.Run()
        ke.Sync()
    end
    local px, w, h = shoot()
    local lit = 0
    for y = h / 2 - 20, h / 2 + 20, 4 do
        for x = w / 2 - 40, w / 2 + 40, 4 do
            local r, g, b = px(x, y)
            if r > 60 and r > b + 30 then lit = lit + 1 end
        end
    end
    assert(lit > 50, "lit samples in the middle: " .. lit)
    local r, g, b = px(2, 2)
    assert(r + g + b < 30, "the corner stays dark: " .. r .. " " .. g .. " " .. b)
end)

T.check("making an emitter on a used ID replaces it", function()
    ke.MakeFxEmitterSphere(1, "", 1, 1, 1)
    assert(ke.FxEmitterExist(1))
    ke.DeleteFxEmitter(1)
    assert(not ke.FxEmitterExist(1))
    ke.DeleteFxEmitter(1)  -- a free ID is ignored
end)

T.raises("a setter on an unregistered ID", "FxEmitter ID 9 does not exist.",
         function() ke.SetFxEmitterVelocity(9, 1, 2, 3) end)
T.raises("an image that does not exist", "failed to setup material image",
         function() ke.MakeFxEmitterBox(2, "no-such-image.png", 1, 1, 1) end)
T.raises("gradients are for scenes only", "the function is not implemented",
         function() ke.SetFxEmitterColorGradient(1) end)

T.done()
