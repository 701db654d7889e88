# Builds an array by appending, then sums it twice: by iteration and by index.
n = 5000000
a = []
for i in range(n):
    a.append(i)
total = 0
for x in a:
    total = total + x
for j in range(len(a)):
    total = total + a[j]
print(total)
