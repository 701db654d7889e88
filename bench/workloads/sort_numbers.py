# Sorts a million pseudo-random numbers.
n = 1000000
xs = []
seed = 42
for i in range(n):
    seed = (seed * 1103515245 + 12345) % 2147483648
    xs.append(seed % 1000000 - 500000)
xs.sort()
print(xs[0], xs[n // 2], xs[n - 1])
