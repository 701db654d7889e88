-- Allocation-heavy binary trees: many short-lived trees of growing depth
-- and one long-lived tree, each node a table of its two children (an empty
-- table for a leaf). Checksum: the nodes counted.
local n = 17

local function make(depth)
    if depth == 0 then
        return {}
    end
    return {make(depth - 1), make(depth - 1)}
end

local function check(tree)
    if tree[1] == nil then
        return 1
    end
    return 1 + check(tree[1]) + check(tree[2])
end

local function main()
    local long_lived = make(n)
    local total = 0
    for depth = 4, n, 2 do
        local iterations = 1 << (n - depth)
        for _ = 1, iterations do
            total = total + check(make(depth))
        end
    end
    print("total=" .. total .. " long=" .. check(long_lived))
end

main()
