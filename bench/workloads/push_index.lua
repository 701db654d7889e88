-- A table built by appending in a function, then summed by ipairs and index.
local n = 2000000

local function build(count)
    local a = {}
    for i = 0, count - 1 do
        a[#a + 1] = i % 1000
    end
    return a
end

local function main()
    local a = build(n)
    local total = 0
    for _, x in ipairs(a) do
        total = total + x
    end
    for j = 1, #a do
        total = total + a[j] * 2
    end
    print(total)
end

main()
