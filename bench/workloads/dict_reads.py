# Subscript reads of a dict in a function (Python has no member access on
# dicts, so both forms are subscripts here).
n = 1000000


def score(rounds):
    d = {"alpha": 1, "beta": 2, "gamma": 3, "delta": 4, "epsilon": 5, "zeta": 6, "eta": 7, "theta": 8, "iota": 9, "kappa": 10}
    total = 0
    for r in range(rounds):
        total += d["alpha"] + d["epsilon"] * 2 + d["kappa"] - d["gamma"]
        if d["beta"] > 1:
            total += d["theta"] % 3
    return total


def main():
    print(score(n))


main()
