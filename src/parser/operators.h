// The binary operators, once: each one's precedence and its compound
// assignment form. The parser reads its precedence climbing and its
// assignment statements from this table.
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

inline constexpr BinaryOperator kBinaryOperators[] = {
    {TokenKind::Or, kOr},
    {TokenKind::And, kAnd},
    {TokenKind::Equal, kEquality},
    {TokenKind::NotEqual, kEquality},
    {TokenKind::Less, kComparison},
    {TokenKind::Greater, kComparison},
    {TokenKind::LessEqual, kComparison},
    {TokenKind::GreaterEqual, kComparison},
    {TokenKind::Plus, kTerm, TokenKind::PlusAssign},
    {TokenKind::Minus, kTerm, TokenKind::MinusAssign},
    {TokenKind::Star, kFactor, TokenKind::StarAssign},
    {TokenKind::Slash, kFactor, TokenKind::SlashAssign},
    {TokenKind::Percent, kFactor},
    {TokenKind::Power, kPower},
};

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
