# Allocation-heavy binary trees: many short-lived trees of growing depth
# and one long-lived tree, each node a tuple of its two children (None for
# a leaf's). Checksum: the nodes counted.
n = 17


def make(depth):
    if depth == 0:
        return (None, None)
    return (make(depth - 1), make(depth - 1))


def check(tree):
    left, right = tree
    if left is None:
        return 1
    return 1 + check(left) + check(right)


def main():
    long_lived = make(n)
    total = 0
    for depth in range(4, n + 1, 2):
        iterations = 2 ** (n - depth)
        for _ in range(iterations):
            total += check(make(depth))
    print(f"total={total} long={check(long_lived)}")


main()
