// What resolving attaches to a node for its handlers: flags about its
// shape, and values made once (a text literal's value, a dict literal's
// keys).
#pragma once

#include <cstdint>
#include <vector>

#include "interpreter/value.h"
#include "parser/ast.h"

namespace drevel {

// The node's flags.
enum NodeFlag : uint32_t {
    kNumeric = 1,        // arithmetic over names and numbers: it runs no code
    kNumericValue = 2,   // an assignment whose value is a number, such arithmetic or a number rule
    kNumericOperand = 4, // an assignment whose value runs no code and may be a number
    kNumericRule = 8,    // arithmetic or a comparison over such operands
    kNumericTruth = 16,  // a comparison of such operands, tried in machine numbers
    kFloatResult = 32,   // arithmetic whose last result in machine numbers was a Float
};

// A string literal as the evaluator attaches it to its node: the value every
// evaluation shares and the text's hash as a dict key.
struct LiteralText {
    Value value;
    DictKey key; // the text interned, for reads of a dict by it
};
inline const LiteralText& literal_text(const StringExpr& expr) {
    return *static_cast<const LiteralText*>(expr.literal.get());
}
// A dict literal's keys, interned, in the order of its entries.
inline const std::vector<DictKey>& literal_keys(const DictExpr& expr) {
    return *static_cast<const std::vector<DictKey>*>(expr.keys.get());
}

} // namespace drevel
