-- A recursive-descent evaluator reading an arithmetic expression character
-- by character: numbers, + - * / and parentheses. The parser functions share
-- the text and the position as upvalues. Checksum: the sum of the results.
local n = 1500

local function evaluate(source)
    local text = source .. ";" -- the end mark stops every loop
    local pos = 1
    local sum

    local function factor()
        if text:sub(pos, pos) == "(" then
            pos = pos + 1
            local value = sum()
            pos = pos + 1
            return value
        end
        local value = 0
        local c = text:byte(pos)
        while c >= 48 and c <= 57 do
            value = value * 10 + (c - 48)
            pos = pos + 1
            c = text:byte(pos)
        end
        return value
    end

    local function product()
        local value = factor()
        local op = text:sub(pos, pos)
        while op == "*" or op == "/" do
            pos = pos + 1
            local right = factor()
            if op == "*" then
                value = value * right
            else
                value = value // right
            end
            op = text:sub(pos, pos)
        end
        return value
    end

    sum = function()
        local value = product()
        local op = text:sub(pos, pos)
        while op == "+" or op == "-" do
            pos = pos + 1
            local right = product()
            if op == "+" then
                value = value + right
            else
                value = value - right
            end
            op = text:sub(pos, pos)
        end
        return value
    end

    return sum()
end

local function make_expression(i)
    return string.format("200+(%d+%d)*%d-%d/(%d+2)*3+(%d*(4-%d))", i, i % 17 + 1, i % 9 + 2,
        i * 7 % 101, i % 5 + 1, i % 13, i % 3)
end

local function main()
    local total = 0
    for i = 0, n - 1 do
        local text = make_expression(i)
        total = total + evaluate(text)
        for _ = 1, 20 do
            total = total + evaluate(text) % 7
        end
    end
    print("total=" .. total)
end

main()
