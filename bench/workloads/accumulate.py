# Integer loops in a function: locals in the body, totals kept with += and -=.
n = 2000000


def work(limit):
    total = 0
    i = 0
    while i < limit:
        k = i * 7 + 3
        total += k % 11
        i += 1
    for j in range(limit):
        square = j * j
        total -= square % 5
    return total


def main():
    print(work(n))


main()
