-- Splits a short text, upper-cases a word, tests for a letter and builds
-- strings with .. ; the checksum sums the lengths.
local n = 500000
local text = "the quick brown fox jumps over the lazy dog"
local total = 0
local line = ""
local i = 0
while i < n do
    local words = {}
    for w in string.gmatch(text, "[^ ]+") do
        words[#words + 1] = w
    end
    local word = string.upper(words[i % 9 + 1])
    local pair = word .. "-" .. words[(i + 4) % 9 + 1]
    local label = pair .. ":" .. i
    if string.find(label, "O", 1, true) then
        total = total + #label
    else
        total = total + 1
    end
    line = line .. word .. " "
    if #line > 200 then
        total = total + #line
        line = ""
    end
    i = i + 1
end
print(total + #line)
