-- A while loop over integers with arithmetic and a modulo.
local n = 5000000
local i = 0
local total = 0
while i < n do
    total = total + (i * 7 + 3) % 11
    i = i + 1
end
print(total)
