-- Builds an array by appending, then sums it twice: by iteration and by index.
local n = 5000000
local a = {}
for i = 0, n - 1 do
    a[#a + 1] = i
end
local total = 0
for _, x in ipairs(a) do
    total = total + x
end
for j = 1, #a do
    total = total + a[j]
end
print(total)
