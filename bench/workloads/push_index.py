# A list built with append in a function, then summed by for and by index.
n = 2000000


def build(count):
    a = []
    for i in range(count):
        a.append(i % 1000)
    return a


def main():
    a = build(n)
    total = 0
    for x in a:
        total += x
    for j in range(len(a)):
        total += a[j] * 2
    print(total)


main()
