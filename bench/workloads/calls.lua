-- Recursive calls: the naive Fibonacci function.
local n = 33

local function fib(k)
    if k < 2 then return k end
    return fib(k - 1) + fib(k - 2)
end

print(fib(n))
