-- A small test helper for script suites: checks run in protected mode, failures are printed,
-- and done() prints "N passed, N failed" and raises an error when anything failed (so that the
-- script, and the run, fail).
local T = {passed = 0, failed = 0}

local function record(name, ok, err)
    if ok then
        T.passed = T.passed + 1
    else
        T.failed = T.failed + 1
        print("FAILED " .. name .. ": " .. tostring(err))
    end
end

-- fn runs without error.
function T.check(name, fn)
    record(name, pcall(fn))
end

-- fn(...) raises an error whose message contains `text` (plain text, not a pattern).
function T.raises(name, text, fn, ...)
    local ok, err = pcall(fn, ...)
    if ok then
        record(name, false, "no error, expected: " .. text)
    elseif not tostring(err):find(text, 1, true) then
        record(name, false, "error '" .. tostring(err) .. "', expected: " .. text)
    else
        record(name, true)
    end
end

function T.done()
    print(string.format("%d passed, %d failed", T.passed, T.failed))
    if T.failed > 0 then error("script tests failed", 0) end
end

return T
