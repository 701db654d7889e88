# A body in orbit around a fixed mass, advanced by semi-implicit Euler steps.
import math

n = 2000000


def simulate(steps):
    x = 1.0
    y = 0.0
    vx = 0.0
    vy = 1.2
    dt = 0.0005
    energy = 0.0
    for i in range(steps):
        r2 = x * x + y * y
        r = math.sqrt(r2)
        accel = dt / (r2 * r)
        vx = vx - x * accel
        vy = vy - y * accel
        x = x + vx * dt
        y = y + vy * dt
        energy = energy + 0.5 * (vx * vx + vy * vy) - 1.0 / r
    return math.floor(x * 1000000000.0) + math.floor(y * 1000000000.0) + math.floor(energy * 1000.0)


print(simulate(n))
