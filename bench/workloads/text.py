# Text work in a function: split, upper, in, f-strings and len.
n = 300000


def process(rounds):
    text = "the quick brown fox jumps over the lazy dog"
    total = 0
    for i in range(rounds):
        words = text.split(" ")
        word = words[i % 9].upper()
        label = f"{word}-{words[(i + 4) % 9]}:{i}"
        if "O" in label:
            total += len(label)
        else:
            total += 1
    return total


def main():
    print(process(n))


main()
