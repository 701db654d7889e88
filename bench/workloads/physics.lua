-- Bodies kept in tables pull on each other; every step each body's velocity
-- and position are updated in place. Checksum: the bodies' final spread.
local n = 800

local function make_bodies(count)
    local bodies = {}
    for i = 0, count - 1 do
        bodies[#bodies + 1] = {x = i * 10.0, y = (i % 5) * 7.0, vx = 0.0,
                               vy = 0.5 - (i % 3) * 0.5, mass = 1.0 + (i % 4)}
    end
    return bodies
end

local function step(bodies, dt)
    local sqrt = math.sqrt
    local axs, ays = {}, {}
    for i, a in ipairs(bodies) do
        local ax, ay = 0.0, 0.0
        for _, b in ipairs(bodies) do
            local dx = b.x - a.x
            local dy = b.y - a.y
            local d2 = dx * dx + dy * dy + 0.01
            local f = b.mass / (d2 * sqrt(d2))
            ax = ax + dx * f
            ay = ay + dy * f
        end
        axs[i], ays[i] = ax, ay
    end
    for i, a in ipairs(bodies) do
        a.vx = a.vx + axs[i] * dt
        a.vy = a.vy + ays[i] * dt
        a.x = a.x + a.vx * dt
        a.y = a.y + a.vy * dt
    end
end

local function main()
    local bodies = make_bodies(40)
    for _ = 1, n do
        step(bodies, 0.01)
    end
    local energy, spread = 0.0, 0.0
    for _, b in ipairs(bodies) do
        energy = energy + 0.5 * b.mass * (b.vx * b.vx + b.vy * b.vy)
        spread = spread + math.abs(b.x) + math.abs(b.y)
    end
    print(string.format("energy=%d spread=%d", math.floor(energy * 1000), math.floor(spread * 1000)))
end

main()
