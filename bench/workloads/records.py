# 2,000 records in dicts, rebuilt every step: each record moves, wraps
# around and counts its bounces; a summary at the end.
n = 600


def make_records(count):
    records = []
    seed = 12345
    for i in range(count):
        seed = (seed * 1103515245 + 12345) % 2147483648
        x = seed % 1000
        seed = (seed * 1103515245 + 12345) % 2147483648
        records.append({"id": i, "x": x, "y": seed % 1000, "vx": i % 7 - 3, "vy": i % 5 - 2,
                        "hits": 0})
    return records


def step(records):
    out = []
    for r in records:
        x = r["x"] + r["vx"]
        y = r["y"] + r["vy"]
        hits = r["hits"]
        if x < 0 or x >= 1000:
            x = (x + 1000) % 1000
            hits += 1
        if y < 0 or y >= 1000:
            y = (y + 1000) % 1000
            hits += 1
        out.append({"id": r["id"], "x": x, "y": y, "vx": r["vx"], "vy": r["vy"], "hits": hits})
    return out


def main():
    records = make_records(2000)
    for _ in range(n):
        records = step(records)
    total = 0
    hits = 0
    for r in records:
        total += r["x"] * 3 + r["y"] + r["id"]
        hits += r["hits"]
    print(f"total={total} hits={hits}")


main()
