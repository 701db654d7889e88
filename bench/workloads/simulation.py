# A small particle simulation: parameters in a dict, positions in lists,
# a helper function per particle, a text report at the end.
from math import floor

n = 4000


def clamp(v, low, high):
    if v < low:
        return low
    if v > high:
        return high
    return v


def advance(xs, vs, dt):
    out = []
    for i, x in enumerate(xs):
        out.append(clamp(x + vs[i] * dt, 0.0, 100.0))
    return out


def main():
    params = {"count": 200, "dt": 0.5, "steps": n}
    xs = []
    vs = []
    for i in range(params["count"]):
        xs.append((i * 37 % 100) * 1.0)
        vs.append((i * 13 % 21 - 10) * 0.25)
    for s in range(params["steps"]):
        xs = advance(xs, vs, params["dt"])
    total = 0.0
    for x in xs:
        total += x
    report = f"total={floor(total * 100)}"
    print(report)
    print(len(report.split("=")))


main()
