-- Conway's game of life on a 48 x 48 torus kept as an array of rows; each
-- generation builds the next grid row by row. Checksum: live cells.
local n = 1200

local function seed_grid(rows, cols)
    local grid = {}
    local seed = 42
    for r = 1, rows do
        local row = {}
        for c = 1, cols do
            seed = (seed * 1103515245 + 12345) % 2147483648
            row[c] = (seed % 3 == 0) and 1 or 0
        end
        grid[r] = row
    end
    return grid
end

local function next_generation(grid, rows, cols)
    local out = {}
    for r = 1, rows do
        local above = grid[(r - 2) % rows + 1]
        local here = grid[r]
        local below = grid[r % rows + 1]
        local row = {}
        for c = 1, cols do
            local left = (c - 2) % cols + 1
            local right = c % cols + 1
            local count = above[left] + above[c] + above[right] + here[left] + here[right]
                + below[left] + below[c] + below[right]
            if count == 3 then
                row[c] = 1
            elseif count == 2 then
                row[c] = here[c]
            else
                row[c] = 0
            end
        end
        out[r] = row
    end
    return out
end

local function main()
    local rows, cols = 48, 48
    local grid = seed_grid(rows, cols)
    local history = 0
    for _ = 1, n do
        grid = next_generation(grid, rows, cols)
        for _, row in ipairs(grid) do
            for _, cell in ipairs(row) do
                history = history + cell
            end
        end
    end
    print("history=" .. history)
end

main()
