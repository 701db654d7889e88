-- Text work in a function: splitting with gmatch, upper, find, .. and #.
local n = 300000

local function split(text, separator)
    local words = {}
    for word in string.gmatch(text, "[^" .. separator .. "]+") do
        words[#words + 1] = word
    end
    return words
end

local function process(rounds)
    local text = "the quick brown fox jumps over the lazy dog"
    local total = 0
    for i = 0, rounds - 1 do
        local words = split(text, " ")
        local word = string.upper(words[i % 9 + 1])
        local label = word .. "-" .. words[(i + 4) % 9 + 1] .. ":" .. i
        if string.find(label, "O", 1, true) then
            total = total + #label
        else
            total = total + 1
        end
    end
    return total
end

local function main()
    print(process(n))
end

main()
