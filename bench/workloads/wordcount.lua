-- Word counting: a generated text of lines of words, split into lines and
-- words, lower-cased and counted in a table. Checksum: the counts and the
-- most frequent word.
local n = 20000

local function make_text(lines)
    local vocabulary = {}
    for word in ("The quick brown fox jumps over the lazy dog and A small cat sees Big red birds"
        .. " fly past green trees near old stone walls while children play under bright"
        .. " summer skies"):gmatch("%S+") do
        vocabulary[#vocabulary + 1] = word
    end
    local out = {}
    local seed = 99
    for _ = 1, lines do
        local line = {}
        for _ = 1, 10 do
            seed = (seed * 1103515245 + 12345) % 2147483648
            line[#line + 1] = vocabulary[(seed // 65536) % #vocabulary + 1]
        end
        out[#out + 1] = table.concat(line, " ")
    end
    return table.concat(out, "\n") .. "\n"
end

local function main()
    local text = make_text(n)
    local counts = {}
    local order = {}
    local total = 0
    for line in text:gmatch("[^\n]+") do
        for raw in line:gmatch("[^ ]+") do
            local word = raw:lower()
            total = total + 1
            local count = counts[word]
            if count == nil then
                order[#order + 1] = word
                counts[word] = 1
            else
                counts[word] = count + 1
            end
        end
    end
    local checksum, best = 0, order[1]
    for _, word in ipairs(order) do
        checksum = checksum + counts[word] * #word
        if counts[word] > counts[best] then
            best = word
        end
    end
    print(string.format("words=%d different=%d checksum=%d", total, #order, checksum))
    print(string.format("most frequent: %s %d", best, counts[best]))
end

main()
