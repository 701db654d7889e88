# Recursion called from main: the naive Fibonacci function.
n = 31


def fib(k):
    if k < 2:
        return k
    return fib(k - 1) + fib(k - 2)


def main():
    print(fib(n))


main()
