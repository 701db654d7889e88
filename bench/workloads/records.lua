-- 2,000 records in tables, rebuilt every step: each record moves, wraps
-- around and counts its bounces; a summary at the end.
local n = 600

local function make_records(count)
    local records = {}
    local seed = 12345
    for i = 0, count - 1 do
        seed = (seed * 1103515245 + 12345) % 2147483648
        local x = seed % 1000
        seed = (seed * 1103515245 + 12345) % 2147483648
        records[#records + 1] = {id = i, x = x, y = seed % 1000, vx = i % 7 - 3,
                                 vy = i % 5 - 2, hits = 0}
    end
    return records
end

local function step(records)
    local out = {}
    for _, r in ipairs(records) do
        local x = r.x + r.vx
        local y = r.y + r.vy
        local hits = r.hits
        if x < 0 or x >= 1000 then
            x = (x + 1000) % 1000
            hits = hits + 1
        end
        if y < 0 or y >= 1000 then
            y = (y + 1000) % 1000
            hits = hits + 1
        end
        out[#out + 1] = {id = r.id, x = x, y = y, vx = r.vx, vy = r.vy, hits = hits}
    end
    return out
end

local function main()
    local records = make_records(2000)
    for _ = 1, n do
        records = step(records)
    end
    local total = 0
    local hits = 0
    for _, r in ipairs(records) do
        total = total + r.x * 3 + r.y + r.id
        hits = hits + r.hits
    end
    print(string.format("total=%d hits=%d", total, hits))
end

main()
