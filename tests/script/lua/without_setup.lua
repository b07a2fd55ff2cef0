-- Commands before Setup: only the seven that need no engine work; the rest name themselves in
-- the "without Setup" error.
local T = require("testlib")

T.check("ke is a module", function()
    assert(type(ke) == "table" and package.loaded.ke == ke)
end)
T.check("IsSetup before Setup", function() assert(ke.IsSetup() == false) end)
T.check("Term without an engine does nothing", function() ke.Term() end)
T.raises("LoadObject", "calling 'LoadObject' without Setup first", function() ke.LoadObject("cube.x", 1) end)
T.raises("Sync", "calling 'Sync' without Setup first", function() ke.Sync() end)
T.raises("not implemented before Setup", "calling 'SetObjectSurfaces' without Setup first",
         function() ke.SetObjectSurfaces() end)
T.raises("unavailable before Setup", "calling 'Box' without Setup first", function() ke.Box(0, 0, 1, 1) end)
T.raises("strict boolean", "bad argument #4 to 'Setup' (boolean expected, got number)",
         function() ke.Setup(800, 600, 32, 1) end)
T.raises("integers stay in 32 bits", "bad argument #1 to 'Setup' (integer out of range)",
         function() ke.Setup(4294967297) end)
T.check("a failed Setup leaves no engine", function() assert(ke.IsSetup() == false) end)

T.done()
