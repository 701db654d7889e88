# Float code in a function with several locals, sqrt and compound updates.
from math import floor, sqrt

n = 1000000


def orbit(steps):
    x = 1.0
    y = 0.0
    vx = 0.0
    vy = 1.2
    dt = 0.0005
    energy = 0.0
    for i in range(steps):
        r = sqrt(x * x + y * y)
        accel = dt / (r * r * r)
        vx -= x * accel
        vy -= y * accel
        x += vx * dt
        y += vy * dt
        energy += 0.5 * (vx * vx + vy * vy) - 1.0 / r
    return floor(x * 1000000000.0) + floor(y * 1000000000.0) + floor(energy * 1000.0)


def main():
    print(orbit(n))


main()
