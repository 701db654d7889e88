-- Field and subscript reads of a table in a function.
local n = 1000000

local function score(rounds)
    local d = {alpha = 1, beta = 2, gamma = 3, delta = 4, epsilon = 5, zeta = 6, eta = 7, theta = 8, iota = 9, kappa = 10}
    local total = 0
    for r = 1, rounds do
        total = total + d.alpha + d["epsilon"] * 2 + d.kappa - d["gamma"]
        if d.beta > 1 then
            total = total + d["theta"] % 3
        end
    end
    return total
end

local function main()
    print(score(n))
end

main()
