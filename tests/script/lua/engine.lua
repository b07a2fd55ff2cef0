-- Commands on a running engine: errors are argument errors that pcall catches, and the next
-- command starts clean; objects and lights by ID.
local T = require("testlib")
local cube = "../../../examples/scripts/cube.x"

ke.Setup(800, 600)
T.check("Setup", function() assert(ke.IsSetup() and ke.LightExist(0) and ke.LightVisible(0)) end)
T.raises("unregistered object", "bad argument #1 to 'PositionObject' (Object ID 7 does not exist. ",
         function() ke.PositionObject(7, 0, 0, 0) end)
T.check("the next command starts clean", function() ke.PositionCamera(0, 1, -6) end)
T.raises("invalid light ID", "bad argument #1 to 'MakeLight' (invalid Light ID 0 : id 0 already exist)",
         function() ke.MakeLight(0) end)
T.raises("not implemented", "bad argument #-1 to 'SetFxEmitterSizeGradient' (the function is not implemented)",
         function() ke.SetFxEmitterSizeGradient(1) end)
T.check("camera depth of field and stereo", function()
    ke.SetCameraDOF(1, 7, 2.8)
    ke.SetCameraAdvancedDOF(1, 1, 9, 5, 1.5)
    ke.SetCameraStereo(1, 0.5, 0, 1)
    ke.SetCameraDOF(0, 0, 0)
end)
T.raises("depth of field switch", "bad argument #1 to 'SetCameraDOF'", function() ke.SetCameraDOF("on", 7, 2.8) end)
T.raises("method syntax", "on bad self", function() ke:PositionObject(1, 0, 0, 0) end)
T.check("objects", function()
    ke.LoadObject(cube, 3)
    ke.CloneObject(4, 3)
    assert(ke.ObjectExist(3) and ke.ObjectExist(4))
    ke.ScaleObject(4, 50, 50, 50)
    assert(math.abs(ke.GetObjectRadius(4) - math.sqrt(3)) < 1e-5)  -- the mesh's own size
    ke.DeleteObject(3)
    ke.DeleteObject(3)
    assert(not ke.ObjectExist(3) and ke.ObjectExist(4))
end)
T.raises("array argument", "the number of morphs(2) is not equals to the number of weights(1)",
         function() ke.SetObjectMorph(4, {1, 2}, {0.5}) end)
T.check("exists never raises", function()
    assert(not ke.ObjectExist(-1) and not ke.LightExist(1000) and not ke.MusicExist(50))
end)
T.check("frames", function()
    for _ = 1, 3 do
        ke.RotateObject(4, 0, ke.Timer() * 0.1, 0)
        ke.Sync()
    end
    assert(ke.Run())
end)
ke.Term()
T.check("Term", function() assert(not ke.IsSetup()) end)

T.done()
