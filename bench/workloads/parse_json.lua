-- Parses a generated JSON document of about 20 MB: 2,200 copies of a run of
-- 100 different objects in one array. Lua has no JSON reader of its own;
-- this is the small recursive-descent decoder Lua programs usually carry.
local n = 2200

local decode
local escapes = { b = "\b", f = "\f", n = "\n", r = "\r", t = "\t", ['"'] = '"', ["\\"] = "\\", ["/"] = "/" }

local function skip(s, i)
    return string.find(s, "[^ \t\r\n]", i) or #s + 1
end

local function decode_string(s, i)
    local j = i + 1
    local parts = {}
    while true do
        local k = string.find(s, '["\\]', j)
        if not k then error("unterminated string") end
        parts[#parts + 1] = string.sub(s, j, k - 1)
        if string.sub(s, k, k) == '"' then return table.concat(parts), k + 1 end
        local e = string.sub(s, k + 1, k + 1)
        if e == "u" then
            parts[#parts + 1] = utf8.char(tonumber(string.sub(s, k + 2, k + 5), 16))
            j = k + 6
        else
            parts[#parts + 1] = escapes[e]
            j = k + 2
        end
    end
end

decode = function(s, i)
    i = skip(s, i)
    local c = string.sub(s, i, i)
    if c == "{" then
        local object = {}
        i = skip(s, i + 1)
        if string.sub(s, i, i) == "}" then return object, i + 1 end
        while true do
            local key
            key, i = decode_string(s, skip(s, i))
            i = skip(s, i) + 1 -- the colon
            object[key], i = decode(s, i)
            i = skip(s, i)
            local d = string.sub(s, i, i)
            i = i + 1
            if d == "}" then return object, i end
        end
    elseif c == "[" then
        local array = {}
        i = skip(s, i + 1)
        if string.sub(s, i, i) == "]" then return array, i + 1 end
        while true do
            array[#array + 1], i = decode(s, i)
            i = skip(s, i)
            local d = string.sub(s, i, i)
            i = i + 1
            if d == "]" then return array, i end
        end
    elseif c == '"' then
        return decode_string(s, i)
    elseif string.sub(s, i, i + 3) == "true" then
        return true, i + 4
    elseif string.sub(s, i, i + 4) == "false" then
        return false, i + 5
    elseif string.sub(s, i, i + 3) == "null" then
        return nil, i + 4
    else
        local number = string.match(s, "^-?%d+%.?%d*[eE]?[-+]?%d*", i)
        return math.tointeger(tonumber(number)) or tonumber(number), i + #number
    end
end

local pieces = {}
for i = 0, 99 do
    pieces[#pieces + 1] = string.format('{"id": %d, "name": "item-%d", "price": %d.25, "tags": ["red", "green"], "ok": %s, "note": null}',
        i, i, i, i % 3 == 0 and "true" or "false")
end
local chunk = table.concat(pieces, ",")
local text = "[" .. string.rep(chunk, n, ",") .. "]"
local items = decode(text, 1)
local total = 0
local ok = 0
for _, item in ipairs(items) do
    total = total + item.id
    if item.ok then ok = ok + 1 end
end
print(#items .. " " .. total .. " " .. ok)
