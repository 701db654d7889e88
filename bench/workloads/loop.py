i = 0
total = 0
while i < 5000000:
    total = total + (i * 7 + 3) % 11
    i = i + 1
print(total)
