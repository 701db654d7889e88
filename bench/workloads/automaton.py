# Conway's game of life on a 48 x 48 torus kept as a list of rows; each
# generation builds the next grid row by row. Checksum: live cells.
n = 1200


def seed_grid(rows, cols):
    grid = []
    seed = 42
    for _ in range(rows):
        row = []
        for _ in range(cols):
            seed = (seed * 1103515245 + 12345) % 2147483648
            row.append(1 if seed % 3 == 0 else 0)
        grid.append(row)
    return grid


def next_generation(grid, rows, cols):
    out = []
    for r in range(rows):
        above = grid[(r - 1) % rows]
        here = grid[r]
        below = grid[(r + 1) % rows]
        row = []
        for c in range(cols):
            left = (c - 1) % cols
            right = (c + 1) % cols
            count = (above[left] + above[c] + above[right] + here[left] + here[right]
                     + below[left] + below[c] + below[right])
            if count == 3:
                row.append(1)
            elif count == 2:
                row.append(here[c])
            else:
                row.append(0)
        out.append(row)
    return out


def main():
    rows = cols = 48
    grid = seed_grid(rows, cols)
    history = 0
    for _ in range(n):
        grid = next_generation(grid, rows, cols)
        history += sum(sum(row) for row in grid)
    print(f"history={history}")


main()
