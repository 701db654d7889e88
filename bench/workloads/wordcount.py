# Word counting: a generated text of lines of words, split into lines and
# words, lower-cased and counted in a dict. Checksum: the counts and the
# most frequent word.
n = 20000


def make_text(lines):
    vocabulary = ("The quick brown fox jumps over the lazy dog and A small cat sees Big red birds"
                  " fly past green trees near old stone walls while children play under bright"
                  " summer skies").split(" ")
    out = []
    seed = 99
    for _ in range(lines):
        line = []
        for _ in range(10):
            seed = (seed * 1103515245 + 12345) % 2147483648
            line.append(vocabulary[(seed // 65536) % len(vocabulary)])
        out.append(" ".join(line))
    return "\n".join(out) + "\n"


def main():
    text = make_text(n)
    counts = {}
    total = 0
    for line in text.split("\n"):
        if line:
            for raw in line.split(" "):
                word = raw.lower()
                total += 1
                counts[word] = counts.get(word, 0) + 1
    checksum = sum(count * len(word) for word, count in counts.items())
    best = max(counts, key=counts.get)
    print(f"words={total} different={len(counts)} checksum={checksum}")
    print(f"most frequent: {best} {counts[best]}")


main()
