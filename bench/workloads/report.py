# A formatted text report: order lines with padded columns, prices in
# cents shown with two decimals, a subtotal per region and a grand total.
# Checksum: the report's length and its last lines.
n = 16000


def money(cents):
    return f"{cents // 100}.{cents % 100:02d}"


def main():
    products = ["apple", "bread", "cheese", "dates", "eggs", "flour", "grapes", "honey"]
    regions = ["north", "south", "east", "west"]
    parts = []
    grand = 0
    seed = 5
    for region in regions:
        parts.append(f"== {region.upper()} ==\n")
        subtotal = 0
        for _ in range(n):
            seed = (seed * 1103515245 + 12345) % 2147483648
            product = products[seed % len(products)]
            quantity = seed // 256 % 20 + 1
            price = seed // 8192 % 2000 + 50
            amount = quantity * price
            subtotal += amount
            parts.append(f"{product:<10}{quantity:>4} x {money(price):>8} = {money(amount):>10}\n")
        parts.append(f"{'subtotal ' + money(subtotal):>41}\n")
        grand += subtotal
    parts.append(f"{'total ' + money(grand):>41}\n")
    report = "".join(parts)
    lines = report.split("\n")
    print(f"length={len(report)} lines={len(lines)}")
    print(lines[-3])
    print(lines[-2])


main()
