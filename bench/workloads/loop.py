# A while loop over integers with arithmetic and a modulo.
n = 5000000
i = 0
total = 0
while i < n:
    total = total + (i * 7 + 3) % 11
    i = i + 1
print(total)
