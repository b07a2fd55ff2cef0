-- Effects, camera effects and object surfaces from a script on a running engine: a broken or
-- missing effect file is an error of argument 1 that leaves the ID free, loading onto a
-- registered ID replaces, constants by name, camera effects shown and deleted, surfaces by
-- their channel names.
local T = require("testlib")
local good = "../../data/api/constants.hlsl"
local surfaceEffect = "../../data/api/surface_color.hlsl"
local broken = "../../fx/data/unterminated.hlsl"
local cube = "../../../examples/scripts/cube.x"

ke.Setup(320, 240)

-- Effects.
T.raises("broken effect file", "bad argument #1 to 'LoadEffect' (Failed to load effect '" .. broken .. "' : ",
         function() ke.LoadEffect(broken, 1) end)
T.raises("missing effect file", "bad argument #1 to 'LoadEffect' (Failed to load effect 'no_such_effect.hlsl' : ",
         function() ke.LoadEffect("no_such_effect.hlsl", 1) end)
T.check("a failed load leaves no ID", function() assert(not ke.EffectExist(1)) end)
T.check("loading onto a registered ID replaces the effect", function()
    ke.LoadEffect(good, 1)
    ke.LoadEffect(good, 1)
    assert(ke.EffectExist(1))
end)
T.raises("invalid effect ID", "bad argument #2 to 'LoadEffect' (invalid effect ID 1000 : ",
         function() ke.LoadEffect(good, 1000) end)
T.check("exists never raises", function()
    assert(not ke.EffectExist(-1) and not ke.EffectExist(1000) and not ke.CameraEffectExist(-5))
end)
T.check("constants by name", function()
    ke.SetEffectConstantBoolean(1, "Flag", true)
    ke.SetEffectConstantInteger(1, "Count", 2)
    ke.SetEffectConstantFloat(1, "Gain", 0.25)
    ke.SetEffectConstantFloatN(1, "Tint", 1, 0, 0)
    ke.SetEffectConstantFloatN(1, "Mat", 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1)
    ke.SetEffectTexture(1, "Tex__0", "../../data/api/red.png")
end)
T.raises("unknown constant", "bad argument #2 to 'SetEffectConstantFloat' (Unknown constant 'Nope')",
         function() ke.SetEffectConstantFloat(1, "Nope", 1) end)
T.raises("strict boolean constant", "bad argument #3 to 'SetEffectConstantBoolean' (boolean expected, got number)",
         function() ke.SetEffectConstantBoolean(1, "Flag", 1) end)
T.raises("17 numbers", "bad argument #-1 to 'SetEffectConstantFloatN' (too much floats parameters)",
         function() ke.SetEffectConstantFloatN(1, "Mat", 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17) end)
T.raises("unregistered effect", "bad argument #1 to 'SetEffectConstantInteger' (Effect ID 9 does not exist. ",
         function() ke.SetEffectConstantInteger(9, "Count", 1) end)
T.raises("missing texture file", "bad argument #3 to 'SetEffectTexture' (failed to load texture 'no_such.png' )",
         function() ke.SetEffectTexture(1, "Tex__0", "no_such.png") end)
T.raises("unknown texture", "bad argument #2 to 'SetEffectTexture' (Unknown texture 'Tex__9')",
         function() ke.SetEffectTexture(1, "Tex__9", "../../data/api/red.png") end)

-- Camera effects.
T.raises("camera effect of a missing effect", "bad argument #2 to 'MakeCameraEffect' (Effect ID 5 does not exist. ",
         function() ke.MakeCameraEffect(3, 5) end)
T.check("nothing registered", function() assert(not ke.CameraEffectExist(3)) end)
T.check("make onto a registered ID replaces the camera effect", function()
    ke.MakeCameraEffect(3, 1)
    ke.MakeCameraEffect(3, 1)
    ke.MakeCameraEffectFromFile(4, good)
    assert(ke.CameraEffectExist(3) and ke.CameraEffectExist(4))
end)
T.raises("broken camera effect file",
         "bad argument #2 to 'MakeCameraEffectFromFile' (Camera Effect ID 6 : Failed to compile effect " .. broken .. ")",
         function() ke.MakeCameraEffectFromFile(6, broken) end)
T.check("show, show, hide, delete leaves nothing", function()
    ke.SetCameraEffectPriority(3, 5)
    ke.ShowCameraEffect(3)
    ke.ShowCameraEffect(3)
    ke.ShowCameraEffect(4)
    ke.HideCameraEffect(3)
    ke.Sync()
    ke.DeleteCameraEffect(3)
    ke.DeleteCameraEffect(3)
    assert(not ke.CameraEffectExist(3))
    ke.Sync()
    -- A new camera effect under the same ID inherits no place in the shown list.
    ke.MakeCameraEffect(3, 1)
    ke.Sync()
end)
T.raises("unregistered camera effect", "bad argument #1 to 'ShowCameraEffect' (Camera Effect ID 8 does not exist. ",
         function() ke.ShowCameraEffect(8) end)
T.check("deleting the effect leaves the camera effect its own", function()
    ke.DeleteEffect(1)
    ke.DeleteEffect(1)
    assert(not ke.EffectExist(1) and ke.CameraEffectExist(3))
    ke.ShowCameraEffect(3)
    ke.Sync()
    ke.DeleteCameraEffect(3)
end)

-- Object surfaces.
T.check("a loaded object has one surface per material", function()
    ke.LoadObject(cube, 2)
    ke.SetObjectSurfaceParamFloat(2, 0, "Glossiness", 0.5)
    ke.SetObjectSurfaceParamInt(2, 0, "Sidedness", 1)
    ke.SetObjectSurfaceParamFloat3(2, 0, "BaseColor", 0.8, 0.2, 0.1)
    ke.SetObjectSurfaceParamTex(2, 0, "BaseColor", "../../data/api/red.png")
    ke.LoadEffectForObjectSurface(surfaceEffect, 7, 2, 0)
    ke.LoadEffectForObjectSurface(surfaceEffect, 7, 2, 0)
    ke.SetObjectSurfaceEffect(2, 0, 7)
    ke.SetObjectSurfaceEffectTechnique(2, 0, 0)
    ke.UpdateObjectFromSurfaces(2)
    ke.Sync()
end)
T.raises("unknown parameter name, even with a wrong object",
         "bad argument #3 to 'SetObjectSurfaceParamFloat' (the parameter does not exist)",
         function() ke.SetObjectSurfaceParamFloat(99, 0, "glossiness", 1) end)
T.raises("parameter name read first", "bad argument #3 to 'SetObjectSurfaceParamInt' (the parameter does not exist)",
         function() ke.SetObjectSurfaceParamInt("x", 0, "Nope", "y") end)
T.raises("wrong object", "bad argument #1 to 'SetObjectSurfaceParamFloat3' (Object ID 99 does not exist)",
         function() ke.SetObjectSurfaceParamFloat3(99, 0, "BaseColor", 1, 1, 1) end)
T.raises("wrong row", "bad argument #2 to 'SetObjectSurfaceParamFloat' (Object ID 2 has no surface 4)",
         function() ke.SetObjectSurfaceParamFloat(2, 4, "Glossiness", 1) end)
T.raises("missing surface texture", "bad argument #4 to 'SetObjectSurfaceParamTex' (Texture does not exist 'no_such.png')",
         function() ke.SetObjectSurfaceParamTex(2, 0, "BaseColor", "no_such.png") end)
T.raises("surface effect checked first", "bad argument #3 to 'SetObjectSurfaceEffect' (Effect ID 8 does not exist. ",
         function() ke.SetObjectSurfaceEffect(99, 0, 8) end)
T.raises("surface of a wrong row", "bad argument #4 to 'LoadEffectForObjectSurface' (Invalid surface ID 3 for the Object ID 2)",
         function() ke.LoadEffectForObjectSurface(surfaceEffect, 8, 2, 3) end)
T.check("failed surface loads leave the ID free", function() assert(not ke.EffectExist(8)) end)
T.raises("texture of a missing image", "bad argument #3 to 'SetEffectTextureImage' (Image 1 does not exist)",
         function() ke.LoadEffect(good, 5); ke.SetEffectTextureImage(5, "Tex__0", 1) end)
T.check("texture of an image", function()
    ke.LoadImage("../../data/api/red.png", 1)
    ke.SetEffectTextureImage(5, "Tex__0", 1)
    ke.DeleteImage(1)
    ke.DeleteEffect(5)
end)
T.raises("surface texture of a missing image",
         "bad argument #4 to 'SetObjectSurfaceParamTexImg' (Image 3 does not exist)",
         function() ke.SetObjectSurfaceParamTexImg(2, 0, "BaseColor", 3) end)
T.check("surface texture of an image", function()
    ke.LoadImage("../../data/api/red.png", 3)
    ke.SetObjectSurfaceParamTexImg(2, 0, "BaseColor", 3)
    ke.DeleteImage(3)
end)

ke.Term()
T.check("Term", function() assert(not ke.IsSetup()) end)
T.done()
