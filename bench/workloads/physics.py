# Bodies kept in dicts pull on each other; every step each body's velocity
# and position are updated in place. Checksum: the bodies' final spread.
import math

n = 800


def make_bodies(count):
    return [{"x": i * 10.0, "y": (i % 5) * 7.0, "vx": 0.0, "vy": 0.5 - (i % 3) * 0.5,
             "mass": 1.0 + (i % 4)} for i in range(count)]


def step(bodies, dt):
    accelerations = []
    for a in bodies:
        ax = 0.0
        ay = 0.0
        for b in bodies:
            dx = b["x"] - a["x"]
            dy = b["y"] - a["y"]
            d2 = dx * dx + dy * dy + 0.01
            f = b["mass"] / (d2 * math.sqrt(d2))
            ax += dx * f
            ay += dy * f
        accelerations.append((ax, ay))
    for a, (ax, ay) in zip(bodies, accelerations):
        a["vx"] += ax * dt
        a["vy"] += ay * dt
        a["x"] += a["vx"] * dt
        a["y"] += a["vy"] * dt


def main():
    bodies = make_bodies(40)
    for _ in range(n):
        step(bodies, 0.01)
    energy = 0.0
    spread = 0.0
    for b in bodies:
        energy += 0.5 * b["mass"] * (b["vx"] * b["vx"] + b["vy"] * b["vy"])
        spread += abs(b["x"]) + abs(b["y"])
    print(f"energy={math.floor(energy * 1000)} spread={math.floor(spread * 1000)}")


main()
