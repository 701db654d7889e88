# Sorts 200,000 pseudo-random words.
n = 200000
words = []
seed = 7
for i in range(n):
    seed = (seed * 1103515245 + 12345) % 2147483648
    words.append("k" + str(seed % 1000003) + "x" + str(seed % 97))
words.sort()
print(words[0], words[n // 2], words[n - 1])
