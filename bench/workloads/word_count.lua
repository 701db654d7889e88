-- Counts the words of a generated text in a table, then lists them sorted.
local n = 2000000
local parts = {}
local seed = 12345
for i = 1, n do
    seed = (seed * 1103515245 + 12345) % 2147483648
    parts[#parts + 1] = "w" .. (seed % 5000)
end
local text = table.concat(parts, " ")
local counts = {}
for word in string.gmatch(text, "%S+") do
    counts[word] = (counts[word] or 0) + 1
end
local words = {}
for word in pairs(counts) do words[#words + 1] = word end
table.sort(words)
print(#words .. " " .. (counts["w42"] or 0) .. " " .. words[1] .. " " .. words[#words])
