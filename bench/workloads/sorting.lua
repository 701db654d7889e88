-- Merge sort and quicksort of pseudo-random numbers, each building new
-- tables. Checksum: positions weighted by the sorted values.
local n = 12000

local function merge_sort(xs)
    local count = #xs
    if count <= 1 then
        return xs
    end
    local middle = count // 2
    local left, right = {}, {}
    for i = 1, count do
        if i <= middle then
            left[#left + 1] = xs[i]
        else
            right[#right + 1] = xs[i]
        end
    end
    left = merge_sort(left)
    right = merge_sort(right)
    local out = {}
    local i, j = 1, 1
    while i <= #left and j <= #right do
        if left[i] <= right[j] then
            out[#out + 1] = left[i]
            i = i + 1
        else
            out[#out + 1] = right[j]
            j = j + 1
        end
    end
    for k = i, #left do
        out[#out + 1] = left[k]
    end
    for k = j, #right do
        out[#out + 1] = right[k]
    end
    return out
end

local function quick_sort(xs)
    if #xs <= 1 then
        return xs
    end
    local pivot = xs[#xs // 2 + 1]
    local less, equal, greater = {}, {}, {}
    for _, x in ipairs(xs) do
        if x < pivot then
            less[#less + 1] = x
        elseif x == pivot then
            equal[#equal + 1] = x
        else
            greater[#greater + 1] = x
        end
    end
    local out = quick_sort(less)
    for _, x in ipairs(equal) do
        out[#out + 1] = x
    end
    for _, x in ipairs(quick_sort(greater)) do
        out[#out + 1] = x
    end
    return out
end

local function checksum(xs)
    local total = 0
    for i, x in ipairs(xs) do
        total = (total + x * ((i - 1) % 1000 + 1)) % 1000000007
    end
    return total
end

local function main()
    local xs = {}
    local seed = 7
    for _ = 1, n do
        seed = (seed * 1103515245 + 12345) % 2147483648
        xs[#xs + 1] = seed % 100000
    end
    local total = 0
    for round = 0, 4 do
        total = total + checksum(merge_sort(xs)) + checksum(quick_sort(xs))
        xs[#xs + 1] = round
    end
    print("total=" .. total)
end

main()
