# A recursive-descent evaluator reading an arithmetic expression character
# by character: numbers, + - * / and parentheses. A small parser class keeps
# the text and the position. Checksum: the sum of the results.
n = 1500


class Parser:
    def __init__(self, text):
        self.text = text + ";"  # the end mark stops every loop
        self.pos = 0

    def factor(self):
        if self.text[self.pos] == "(":
            self.pos += 1
            value = self.sum()
            self.pos += 1
            return value
        value = 0
        c = self.text[self.pos]
        while c.isdigit():
            value = value * 10 + int(c)
            self.pos += 1
            c = self.text[self.pos]
        return value

    def product(self):
        value = self.factor()
        while self.text[self.pos] in "*/":
            op = self.text[self.pos]
            self.pos += 1
            right = self.factor()
            if op == "*":
                value *= right
            else:
                value //= right
        return value

    def sum(self):
        value = self.product()
        while self.text[self.pos] in "+-":
            op = self.text[self.pos]
            self.pos += 1
            right = self.product()
            if op == "+":
                value += right
            else:
                value -= right
        return value


def evaluate(text):
    return Parser(text).sum()


def make_expression(i):
    return (f"200+({i}+{i % 17 + 1})*{i % 9 + 2}-{i * 7 % 101}/({i % 5 + 1}+2)*3"
            f"+({i % 13}*(4-{i % 3}))")


def main():
    total = 0
    for i in range(n):
        text = make_expression(i)
        total += evaluate(text)
        for _ in range(20):
            total += evaluate(text) % 7
    print(f"total={total}")


main()
