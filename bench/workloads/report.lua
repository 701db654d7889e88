-- A formatted text report: order lines with padded columns, prices in
-- cents shown with two decimals, a subtotal per region and a grand total.
-- Checksum: the report's length and its last lines.
local n = 16000

local function money(cents)
    return string.format("%d.%02d", cents // 100, cents % 100)
end

local function main()
    local products = {"apple", "bread", "cheese", "dates", "eggs", "flour", "grapes", "honey"}
    local regions = {"north", "south", "east", "west"}
    local parts = {}
    local grand = 0
    local seed = 5
    for _, region in ipairs(regions) do
        parts[#parts + 1] = "== " .. region:upper() .. " ==\n"
        local subtotal = 0
        for _ = 1, n do
            seed = (seed * 1103515245 + 12345) % 2147483648
            local product = products[seed % #products + 1]
            local quantity = seed // 256 % 20 + 1
            local price = seed // 8192 % 2000 + 50
            local amount = quantity * price
            subtotal = subtotal + amount
            parts[#parts + 1] = string.format("%-10s%4d x %8s = %10s\n", product, quantity,
                money(price), money(amount))
        end
        parts[#parts + 1] = string.format("%41s\n", "subtotal " .. money(subtotal))
        grand = grand + subtotal
    end
    parts[#parts + 1] = string.format("%41s\n", "total " .. money(grand))
    local report = table.concat(parts)
    local lines = {}
    for line in (report .. "\n"):gmatch("([^\n]*)\n") do
        lines[#lines + 1] = line
    end
    print(string.format("length=%d lines=%d", #report, #lines))
    print(lines[#lines - 2])
    print(lines[#lines - 1])
end

main()
