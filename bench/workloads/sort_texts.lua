-- Sorts 200,000 pseudo-random words.
local n = 200000
local words = {}
local seed = 7
for i = 1, n do
    seed = (seed * 1103515245 + 12345) % 2147483648
    words[i] = "k" .. (seed % 1000003) .. "x" .. (seed % 97)
end
table.sort(words)
print(words[1] .. " " .. words[n // 2 + 1] .. " " .. words[n])
