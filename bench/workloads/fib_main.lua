-- Recursion called from main: the naive Fibonacci function.
local n = 31

local function fib(k)
    if k < 2 then
        return k
    end
    return fib(k - 1) + fib(k - 2)
end

local function main()
    print(fib(n))
end

main()
