#include "parser/ast.h"

#include "lexer/debug_text.h"
#include "parser/operators.h"

namespace drevel {

AssignStmt::AssignStmt(StmtKind k, std::string n, TokenKind o, ExprPtr v)
    : Stmt(k), name(std::move(n)), symbol(intern(name)), op(o), value(std::move(v)) {
    if (k == StmtKind::CompoundAssign) binary_op = compound_operator(op);
}

CallExpr::CallExpr(std::string n, std::vector<ExprPtr> a)
    : Expr(ExprKind::Call), name(std::move(n)), args(std::move(a)) {
    size_t dot = name.find('.');
    if (dot == std::string::npos) {
        symbol = intern(name);
    } else {
        qualified = true;
        module_word = name.substr(0, dot);
        function_word = name.substr(dot + 1);
    }
}

BinaryOpExpr::~BinaryOpExpr() {
    // a + b + c ... nests on the left: unhook each inner link before it goes,
    // so freeing the chain takes no stack per link.
    ExprPtr inner = std::move(left);
    while (inner && inner->kind == ExprKind::BinaryOp) {
        ExprPtr next = std::move(static_cast<BinaryOpExpr&>(*inner).left);
        inner = std::move(next);
    }
}

FunctionStmt::FunctionStmt(std::string n, std::vector<std::string> params, Block body)
    : Stmt(StmtKind::Function), name(std::move(n)), symbol(intern(name)) {
    auto definition = std::make_shared<FunctionDefinition>();
    for (const std::string& p : params)
        definition->param_symbols.push_back(intern(p));
    definition->params = std::move(params);
    definition->body = std::move(body);
    definition->nesting = nesting_depth(definition->body);
    function = std::move(definition);
}

// ---- debug form ----

namespace {

void field(std::string& out, const char* name, bool first = false) {
    if (!first) out += ", ";
    out += name;
    out += ": ";
}

void quoted(std::string& out, const std::string& text) {
    append_quoted(out, text);
}

void expr_list(std::string& out, const std::vector<ExprPtr>& exprs) {
    out += '[';
    for (size_t i = 0; i < exprs.size(); ++i) {
        if (i) out += ", ";
        append_debug_form(out, *exprs[i]);
    }
    out += ']';
}

void name_list(std::string& out, const std::vector<std::string>& names) {
    out += '[';
    for (size_t i = 0; i < names.size(); ++i) {
        if (i) out += ", ";
        quoted(out, names[i]);
    }
    out += ']';
}

} // namespace

void append_debug_form(std::string& out, const Expr& expr) {
    switch (expr.kind) {
    case ExprKind::Number:
        out += "Number(" + std::to_string(static_cast<const NumberExpr&>(expr).value) + ")";
        break;
    case ExprKind::Float:
        out += "Float(";
        append_float_debug(out, static_cast<const FloatExpr&>(expr).value);
        out += ')';
        break;
    case ExprKind::String:
        out += "String(";
        quoted(out, static_cast<const StringExpr&>(expr).value);
        out += ')';
        break;
    case ExprKind::Boolean:
        out += static_cast<const BooleanExpr&>(expr).value ? "Boolean(true)" : "Boolean(false)";
        break;
    case ExprKind::Identifier:
        out += "Identifier(";
        quoted(out, static_cast<const IdentifierExpr&>(expr).name);
        out += ')';
        break;
    case ExprKind::BinaryOp: {
        auto& e = static_cast<const BinaryOpExpr&>(expr);
        out += "BinaryOp { ";
        field(out, "left", true);
        append_debug_form(out, *e.left);
        field(out, "op");
        out += token_kind_name(e.op);
        field(out, "right");
        append_debug_form(out, *e.right);
        out += " }";
        break;
    }
    case ExprKind::UnaryOp: {
        auto& e = static_cast<const UnaryOpExpr&>(expr);
        out += "UnaryOp { ";
        field(out, "op", true);
        out += token_kind_name(e.op);
        field(out, "operand");
        append_debug_form(out, *e.operand);
        out += " }";
        break;
    }
    case ExprKind::Call: {
        auto& e = static_cast<const CallExpr&>(expr);
        out += "Call { ";
        field(out, "name", true);
        quoted(out, e.name);
        field(out, "args");
        expr_list(out, e.args);
        out += " }";
        break;
    }
    case ExprKind::Array:
        out += "Array(";
        expr_list(out, static_cast<const ArrayExpr&>(expr).elements);
        out += ')';
        break;
    case ExprKind::Dict: {
        auto& e = static_cast<const DictExpr&>(expr);
        out += "Dict([";
        for (size_t i = 0; i < e.entries.size(); ++i) {
            if (i) out += ", ";
            out += '(';
            quoted(out, e.entries[i].first);
            out += ", ";
            append_debug_form(out, *e.entries[i].second);
            out += ')';
        }
        out += "])";
        break;
    }
    case ExprKind::Index: {
        auto& e = static_cast<const IndexExpr&>(expr);
        out += "Index { ";
        field(out, "object", true);
        append_debug_form(out, *e.object);
        field(out, "index");
        append_debug_form(out, *e.index);
        out += " }";
        break;
    }
    case ExprKind::Range: {
        auto& e = static_cast<const RangeExpr&>(expr);
        out += "Range { ";
        field(out, "start", true);
        append_debug_form(out, *e.start);
        field(out, "end");
        append_debug_form(out, *e.end);
        out += " }";
        break;
    }
    }
}

void append_debug_form(std::string& out, const Block& block) {
    out += '[';
    for (size_t i = 0; i < block.size(); ++i) {
        if (i) out += ", ";
        append_debug_form(out, *block[i]);
    }
    out += ']';
}

void append_debug_form(std::string& out, const Stmt& stmt) {
    switch (stmt.kind) {
    case StmtKind::Let:
    case StmtKind::Assign:
    case StmtKind::CompoundAssign: {
        auto& s = static_cast<const AssignStmt&>(stmt);
        out += stmt.kind == StmtKind::Let      ? "Let { "
               : stmt.kind == StmtKind::Assign ? "Assign { "
                                               : "CompoundAssign { ";
        field(out, "name", true);
        quoted(out, s.name);
        if (stmt.kind == StmtKind::CompoundAssign) {
            field(out, "op");
            out += token_kind_name(s.op);
        }
        field(out, "value");
        append_debug_form(out, *s.value);
        out += " }";
        break;
    }
    case StmtKind::Function: {
        auto& s = static_cast<const FunctionStmt&>(stmt);
        out += "Function { ";
        field(out, "name", true);
        quoted(out, s.name);
        field(out, "params");
        name_list(out, s.function->params);
        field(out, "body");
        append_debug_form(out, s.function->body);
        out += " }";
        break;
    }
    case StmtKind::If: {
        auto& s = static_cast<const IfStmt&>(stmt);
        out += "If { ";
        field(out, "condition", true);
        append_debug_form(out, *s.condition);
        field(out, "then_body");
        append_debug_form(out, s.then_body);
        field(out, "else_body");
        if (s.else_body) {
            out += "Some(";
            append_debug_form(out, *s.else_body);
            out += ')';
        } else {
            out += "None";
        }
        out += " }";
        break;
    }
    case StmtKind::While: {
        auto& s = static_cast<const WhileStmt&>(stmt);
        out += "While { ";
        field(out, "condition", true);
        append_debug_form(out, *s.condition);
        field(out, "body");
        append_debug_form(out, s.body);
        out += " }";
        break;
    }
    case StmtKind::For: {
        auto& s = static_cast<const ForStmt&>(stmt);
        out += "For { ";
        field(out, "var", true);
        quoted(out, s.var);
        field(out, "iter");
        append_debug_form(out, *s.iter);
        field(out, "body");
        append_debug_form(out, s.body);
        out += " }";
        break;
    }
    case StmtKind::Match: {
        auto& s = static_cast<const MatchStmt&>(stmt);
        out += "Match { ";
        field(out, "expr", true);
        append_debug_form(out, *s.expr);
        field(out, "arms");
        out += '[';
        for (size_t i = 0; i < s.arms.size(); ++i) {
            if (i) out += ", ";
            out += '(';
            if (s.arms[i].pattern) {
                out += "Value(";
                append_debug_form(out, *s.arms[i].pattern);
                out += ')';
            } else {
                out += "Wildcard";
            }
            out += ", ";
            append_debug_form(out, s.arms[i].body);
            out += ')';
        }
        out += "] }";
        break;
    }
    case StmtKind::Try: {
        auto& s = static_cast<const TryStmt&>(stmt);
        out += "Try { ";
        field(out, "body", true);
        append_debug_form(out, s.body);
        field(out, "catch_var");
        quoted(out, s.catch_var);
        field(out, "catch_body");
        append_debug_form(out, s.catch_body);
        out += " }";
        break;
    }
    case StmtKind::Return: {
        auto& s = static_cast<const ReturnStmt&>(stmt);
        if (s.value) {
            out += "Return(Some(";
            append_debug_form(out, *s.value);
            out += "))";
        } else {
            out += "Return(None)";
        }
        break;
    }
    case StmtKind::Break: out += "Break"; break;
    case StmtKind::Continue: out += "Continue"; break;
    case StmtKind::Global:
        out += "Global(";
        quoted(out, static_cast<const GlobalStmt&>(stmt).name);
        out += ')';
        break;
    case StmtKind::Use: {
        auto& s = static_cast<const UseStmt&>(stmt);
        out += "Use { ";
        field(out, "module", true);
        quoted(out, s.module);
        field(out, "alias");
        if (s.alias) {
            out += "Some(";
            quoted(out, *s.alias);
            out += ')';
        } else {
            out += "None";
        }
        field(out, "items");
        if (s.items) {
            out += "Some(";
            name_list(out, *s.items);
            out += ')';
        } else {
            out += "None";
        }
        out += " }";
        break;
    }
    case StmtKind::Expr:
        out += "Expr(";
        append_debug_form(out, *static_cast<const ExprStmt&>(stmt).expr);
        out += ')';
        break;
    }
}

std::string debug_form(const Expr& expr) {
    std::string out;
    append_debug_form(out, expr);
    return out;
}
std::string debug_form(const Stmt& stmt) {
    std::string out;
    append_debug_form(out, stmt);
    return out;
}
std::string debug_form(const Block& block) {
    std::string out;
    append_debug_form(out, block);
    return out;
}

} // namespace drevel
