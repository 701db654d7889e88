-- A body in orbit around a fixed mass, advanced by semi-implicit Euler steps.
local n = 2000000

local function simulate(steps)
    local x = 1.0
    local y = 0.0
    local vx = 0.0
    local vy = 1.2
    local dt = 0.0005
    local energy = 0.0
    local sqrt = math.sqrt
    for i = 0, steps - 1 do
        local r2 = x * x + y * y
        local r = sqrt(r2)
        local accel = dt / (r2 * r)
        vx = vx - x * accel
        vy = vy - y * accel
        x = x + vx * dt
        y = y + vy * dt
        energy = energy + 0.5 * (vx * vx + vy * vy) - 1.0 / r
    end
    return math.floor(x * 1000000000.0) + math.floor(y * 1000000000.0) + math.floor(energy * 1000.0)
end

print(simulate(n))
