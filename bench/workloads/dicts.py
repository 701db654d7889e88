# Reads keys of a ten-entry dict literal by subscript (Python has no member
# access on dicts, so both forms of the other versions are subscripts here).
n = 2000000
d = {"alpha": 1, "beta": 2, "gamma": 3, "delta": 4, "epsilon": 5, "zeta": 6, "eta": 7, "theta": 8, "iota": 9, "kappa": 10}
total = 0
i = 0
while i < n:
    total = total + d["alpha"] + d["gamma"] + d["epsilon"] + d["eta"] + d["iota"] + d["kappa"]
    i = i + 1
print(total)
