-- Float code in a function with several locals, sqrt and running updates.
local sqrt, floor = math.sqrt, math.floor
local n = 1000000

local function orbit(steps)
    local x = 1.0
    local y = 0.0
    local vx = 0.0
    local vy = 1.2
    local dt = 0.0005
    local energy = 0.0
    for i = 1, steps do
        local r = sqrt(x * x + y * y)
        local accel = dt / (r * r * r)
        vx = vx - x * accel
        vy = vy - y * accel
        x = x + vx * dt
        y = y + vy * dt
        energy = energy + 0.5 * (vx * vx + vy * vy) - 1.0 / r
    end
    return floor(x * 1000000000.0) + floor(y * 1000000000.0) + floor(energy * 1000.0)
end

local function main()
    print(orbit(n))
end

main()
