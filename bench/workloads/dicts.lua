-- Reads keys of a ten-entry table constructor, by subscript and by field access.
local n = 2000000
local d = {alpha = 1, beta = 2, gamma = 3, delta = 4, epsilon = 5, zeta = 6, eta = 7, theta = 8, iota = 9, kappa = 10}
local total = 0
local i = 0
while i < n do
    total = total + d["alpha"] + d.gamma + d["epsilon"] + d.eta + d["iota"] + d.kappa
    i = i + 1
end
print(total)
