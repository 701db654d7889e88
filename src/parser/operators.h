// The binary operators, once: each one's precedence and its compound
// assignment form, as their rows in the token list give them. The parser
// reads its precedence climbing and its assignment statements from this
// table.
#pragma once

#include "lexer/token.h"

namespace drevel {

// Binary precedence levels, loosest first. Every level is left associative;
// the range ".." sits between comparison and term and takes at most one pair
// of term-level operands; an atom binds tighter than every operator.
enum Level : int { kOr = 0, kAnd, kEquality, kComparison, kRange, kTerm, kFactor, kPower, kAtom };

struct BinaryOperator {
    TokenKind kind;
    Level level;
    TokenKind compound = TokenKind::EOF_; // its "op=" form, EOF_ for none
};

// The rows of the token list that carry a level, in the list's order.
#define DREVEL_BINARY_OPERATOR_ROW(name, keyword, symbol, ...)                                     \
    __VA_OPT__(BinaryOperator{TokenKind::name, __VA_ARGS__}, )
inline constexpr BinaryOperator kBinaryOperators[] = {
    DREVEL_TOKEN_KINDS(DREVEL_BINARY_OPERATOR_ROW)};
#undef DREVEL_BINARY_OPERATOR_ROW

// The level of a binary operator token, -1 for any other token.
constexpr int binary_level(TokenKind kind) {
    for (const BinaryOperator& op : kBinaryOperators)
        if (op.kind == kind) return op.level;
    return -1;
}

// The binary operator a compound assignment token applies ("+=" gives
// Plus), EOF_ for any other token.
constexpr TokenKind compound_operator(TokenKind kind) {
    if (kind == TokenKind::EOF_) return TokenKind::EOF_;
    for (const BinaryOperator& op : kBinaryOperators)
        if (op.compound == kind) return op.kind;
    return TokenKind::EOF_;
}

// True for the compound assignment tokens ("+=", ...).
constexpr bool is_compound_assignment(TokenKind kind) {
    return compound_operator(kind) != TokenKind::EOF_;
}

// Arithmetic operators yield numbers from numbers; comparisons yield a truth
// value. The precedence levels tell them apart.
constexpr bool is_arithmetic_operator(TokenKind kind) {
    int level = binary_level(kind);
    return level == kTerm || level == kFactor || level == kPower;
}
constexpr bool is_comparison_operator(TokenKind kind) {
    int level = binary_level(kind);
    return level == kEquality || level == kComparison;
}

} // namespace drevel
