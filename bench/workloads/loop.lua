local i = 0
local total = 0
while i < 5000000 do
    total = total + (i * 7 + 3) % 11
    i = i + 1
end
print(total)
