-- Integer loops in a function: locals in the body, running totals.
local n = 2000000

local function work(limit)
    local total = 0
    local i = 0
    while i < limit do
        local k = i * 7 + 3
        total = total + k % 11
        i = i + 1
    end
    for j = 0, limit - 1 do
        local square = j * j
        total = total - square % 5
    end
    return total
end

local function main()
    print(work(n))
end

main()
