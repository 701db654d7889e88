# Counts the words of a generated text in a dict, then lists them sorted.
n = 2000000
parts = []
seed = 12345
for i in range(n):
    seed = (seed * 1103515245 + 12345) % 2147483648
    parts.append("w" + str(seed % 5000))
text = " ".join(parts)
counts = {}
for word in text.split(" "):
    counts[word] = counts.get(word, 0) + 1
words = sorted(counts)
print(len(words), counts.get("w42", 0), words[0], words[-1])
