// Arithmetic over names and number literals evaluated in machine numbers,
// without building a value per node. It applies the operator table's own
// Number and Float rows and gives up (with no effect) wherever they would
// fail or another row applies; the general path then takes over and reports
// as usual.
#include "interpreter/builtins/registry.h"
#include "interpreter/interpreter.h"
#include "interpreter/log.h"

namespace drevel {

Numeric Interpreter::numeric_value(const Expr& expr) const {
    switch (expr.kind) {
    case ExprKind::Number: return Numeric::integer(static_cast<const NumberExpr&>(expr).value);
    case ExprKind::Float: return Numeric::real(static_cast<const FloatExpr&>(expr).value);
    case ExprKind::Identifier: {
        const Value* v = find(static_cast<const IdentifierExpr&>(expr).symbol);
        return v ? numeric_of(*v) : Numeric{};
    }
    case ExprKind::Index: {
        const Value* element = stored_element(static_cast<const IndexExpr&>(expr));
        return element ? numeric_of(*element) : Numeric{};
    }
    case ExprKind::UnaryOp: {
        Numeric n = numeric_value(*static_cast<const UnaryOpExpr&>(expr).operand);
        if (n.kind == Numeric::Float)
            n.f = -n.f;
        else if (n.kind == Numeric::Int)
            n.i = int64_t(0 - uint64_t(n.i));
        return n;
    }
    case ExprKind::BinaryOp: {
        auto& b = static_cast<const BinaryOpExpr&>(expr);
        Numeric l = numeric_operand(*b.left);
        if (l.kind == Numeric::None) return l;
        Numeric r = numeric_operand(*b.right);
        if (r.kind == Numeric::None) return r;
        return numeric_row(b.op, l, r);
    }
    case ExprKind::Call: {
        // A builtin's rule on one number. With -D the call goes the general
        // way, which writes its trace lines.
        if (extra_debug) return Numeric{};
        auto& call = static_cast<const CallExpr&>(expr);
        Numeric argument = numeric_operand(*call.args[0]);
        if (argument.kind == Numeric::None) return argument;
        return static_cast<const BuiltinEntry*>(call.bound)->number_rule(argument);
    }
    default: return Numeric{};
    }
}

const Value* Interpreter::stored_element(const IndexExpr& index) const {
    const Value* object = find(static_cast<const IdentifierExpr&>(*index.object).symbol);
    if (!object) return nullptr;
    if (object->kind() == ValueKind::Dict && index.index->kind == ExprKind::String) {
        auto& key = static_cast<const StringExpr&>(*index.index);
        const DictMap& map = object->entries();
        auto it = map.find(literal_text(key).key(key.value));
        if (it != map.end()) return &it->second;
    } else if (object->kind() == ValueKind::Array) {
        // A Number index only: every other kind is refused by the rule.
        Numeric i = numeric_operand(*index.index);
        if (i.kind == Numeric::Int && i.i >= 0 && uint64_t(i.i) < object->items().size())
            return &object->items()[size_t(i.i)];
    }
    return nullptr;
}

Value Interpreter::index_numeric(Interpreter& in, const Expr& e) {
    auto& index = static_cast<const IndexExpr&>(e);
    if (const Value* element = in.stored_element(index)) return *element;
    return in.evaluate_index(index);
}

Value Interpreter::binary_numeric(Interpreter& in, const Expr& e) {
    auto& expr = static_cast<const BinaryOpExpr&>(e);
    if (in.numeric_failed_) return in.evaluate_binary(expr);
    Numeric l = in.numeric_operand(*expr.left);
    if (l.kind != Numeric::None) {
        Numeric r = in.numeric_operand(*expr.right);
        if (r.kind != Numeric::None) {
            Numeric n = numeric_row(expr.op, l, r);
            if (n.kind != Numeric::None) return value_of(n);
        }
    }
    // The general path, for operands the numbers cannot handle. The subtree
    // runs no code, so nothing else can see the flag.
    in.numeric_failed_ = true;
    Value result = in.evaluate_binary(expr);
    in.numeric_failed_ = false;
    return result;
}

int Interpreter::condition_truth(const Expr& expr, Value& failure) {
    if (fast_paths_ && expr.kind == ExprKind::BinaryOp) {
        auto& binary = static_cast<const BinaryOpExpr&>(expr);
        if (binary.flags & kNumericRule) {
            Numeric l = numeric_operand(*binary.left);
            if (l.kind != Numeric::None) {
                Numeric r = numeric_operand(*binary.right);
                if (r.kind != Numeric::None) {
                    Numeric n = comparison_row(binary.op, l, r);
                    if (n.kind == Numeric::Bool) return int(n.i);
                }
            }
        }
    }
    Value value = evaluate(expr);
    if (value.is_error()) {
        failure = std::move(value);
        return -1;
    }
    return is_truthy(value);
}

} // namespace drevel
