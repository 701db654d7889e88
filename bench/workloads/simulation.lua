-- A small particle simulation: parameters in a table, positions in arrays,
-- a helper function per particle, a text report at the end.
local n = 4000

local function clamp(v, low, high)
    if v < low then
        return low
    end
    if v > high then
        return high
    end
    return v
end

local function advance(xs, vs, dt)
    local out = {}
    for i, x in ipairs(xs) do
        out[#out + 1] = clamp(x + vs[i] * dt, 0.0, 100.0)
    end
    return out
end

local function main()
    local params = {count = 200, dt = 0.5, steps = n}
    local xs = {}
    local vs = {}
    for i = 0, params.count - 1 do
        xs[#xs + 1] = (i * 37 % 100) * 1.0
        vs[#vs + 1] = (i * 13 % 21 - 10) * 0.25
    end
    for s = 1, params["steps"] do
        xs = advance(xs, vs, params.dt)
    end
    local total = 0.0
    for _, x in ipairs(xs) do
        total = total + x
    end
    local report = "total=" .. math.floor(total * 100)
    print(report)
    local parts = 0
    for _ in string.gmatch(report, "[^=]+") do
        parts = parts + 1
    end
    print(parts)
end

main()
