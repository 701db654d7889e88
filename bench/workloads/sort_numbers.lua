-- Sorts a million pseudo-random numbers.
local n = 1000000
local xs = {}
local seed = 42
for i = 1, n do
    seed = (seed * 1103515245 + 12345) % 2147483648
    xs[i] = seed % 1000000 - 500000
end
table.sort(xs)
print(xs[1] .. " " .. xs[n // 2 + 1] .. " " .. xs[n])
