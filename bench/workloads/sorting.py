# Merge sort and quicksort of pseudo-random numbers, each building new
# lists with append. Checksum: positions weighted by the sorted values.
n = 12000


def merge_sort(xs):
    if len(xs) <= 1:
        return xs
    middle = len(xs) // 2
    left = merge_sort(xs[:middle])
    right = merge_sort(xs[middle:])
    out = []
    i = j = 0
    while i < len(left) and j < len(right):
        if left[i] <= right[j]:
            out.append(left[i])
            i += 1
        else:
            out.append(right[j])
            j += 1
    out.extend(left[i:])
    out.extend(right[j:])
    return out


def quick_sort(xs):
    if len(xs) <= 1:
        return xs
    pivot = xs[len(xs) // 2]
    less = [x for x in xs if x < pivot]
    equal = [x for x in xs if x == pivot]
    greater = [x for x in xs if x > pivot]
    return quick_sort(less) + equal + quick_sort(greater)


def checksum(xs):
    total = 0
    for i, x in enumerate(xs):
        total = (total + x * (i % 1000 + 1)) % 1000000007
    return total


def main():
    xs = []
    seed = 7
    for _ in range(n):
        seed = (seed * 1103515245 + 12345) % 2147483648
        xs.append(seed % 100000)
    total = 0
    for round in range(5):
        total += checksum(merge_sort(xs)) + checksum(quick_sort(xs))
        xs.append(round)
    print(f"total={total}")


main()
