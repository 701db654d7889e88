# Splits a short text, upper-cases a word, tests for a letter and builds
# strings with + and formatting; the checksum sums the lengths.
n = 500000
text = "the quick brown fox jumps over the lazy dog"
total = 0
line = ""
i = 0
while i < n:
    words = text.split(" ")
    word = words[i % 9].upper()
    pair = word + "-" + words[(i + 4) % 9]
    label = f"{pair}:{i}"
    if "O" in label:
        total = total + len(label)
    else:
        total = total + 1
    line = line + word + " "
    if len(line) > 200:
        total = total + len(line)
        line = ""
    i = i + 1
print(total + len(line))
