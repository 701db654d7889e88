#include "check/traps.h"

#include <map>
#include <set>
#include <string>

#include "interpreter/builtins/registry.h"
#include "parser/bindings.h"
#include "parser/tree_walk.h"

namespace drevel {

namespace {

// Calls that show an argument as text, and which argument (-1: every one).
struct ShownArgument {
    std::string_view call;
    int argument;
};
constexpr ShownArgument kShownArguments[] = {
    {"print", -1},
    {"concat", -1},
    {"http.page", 1},
    {"sdl2.draw_text", 0},
};

// Builtins whose effect a second run of the same call shows.
constexpr std::string_view kVisibleBuiltins[] = {"print", "input"};

bool is_number_literal(const Expr& e) {
    return e.kind == ExprKind::Number || e.kind == ExprKind::Float;
}

bool is_arithmetic(TokenKind op) {
    switch (op) {
    case TokenKind::Plus:
    case TokenKind::Minus:
    case TokenKind::Star:
    case TokenKind::Slash:
    case TokenKind::Percent:
    case TokenKind::Power: return true;
    default: return false;
    }
}

// A number for sure: a literal, a negated one, arithmetic other than `+`
// (which also joins texts), or a sum of numbers. A chain is followed down its
// left side without recursion.
bool is_number(const Expr& e) {
    const Expr* x = &e;
    while (x->kind == ExprKind::BinaryOp) {
        auto& b = static_cast<const BinaryOpExpr&>(*x);
        if (!is_arithmetic(b.op)) return false;
        if (b.op != TokenKind::Plus) return true; // a - b, a * b ...: a number or a failure
        if (!is_number(*b.right)) return false;
        x = b.left.get();
    }
    if (x->kind == ExprKind::UnaryOp) {
        auto& u = static_cast<const UnaryOpExpr&>(*x);
        return u.op == TokenKind::Minus && is_number(*u.operand);
    }
    return is_number_literal(*x);
}

// The name an element or member access starts from: xs in xs[i].k.
const IdentifierExpr* indexed_name(const Expr& e) {
    const Expr* object = &e;
    while (object->kind == ExprKind::Index)
        object = static_cast<const IndexExpr*>(object)->object.get();
    return object->kind == ExprKind::Identifier ? static_cast<const IdentifierExpr*>(object)
                                                : nullptr;
}

class Traps {
  public:
    Traps(std::string_view source, const TokenList& tokens, const SourceMap& map,
          const ParseNotes& notes, std::vector<Finding>& out)
        : source_(source), tokens_(tokens), map_(map), notes_(notes), out_(out), lines_(source) {}

    void run(const Block& program) {
        collect_top_level(program);
        comments_in_other_languages();
        block(program, nullptr);
        for (const StmtPtr& stmt : program)
            if (stmt->kind == StmtKind::Let) top_level_let(static_cast<const AssignStmt&>(*stmt));
    }

  private:
    void report(const void* node, std::string message) {
        auto it = notes_.node_tokens.find(node);
        if (it == notes_.node_tokens.end()) return;
        out_.push_back({map_.token_offsets[it->second], std::move(message)});
    }
    std::string line_of(const void* node) const {
        auto it = notes_.node_tokens.find(node);
        if (it == notes_.node_tokens.end()) return "?";
        std::string place = lines_.position(map_.token_offsets[it->second]);
        return place.substr(0, place.find(':'));
    }

    // The globals the top level binds, the functions it defines once and
    // nowhere else, the names declared global anywhere, and whether the
    // program has a main.
    void collect_top_level(const Block& program) {
        std::map<std::string, int> bindings;
        for (const StmtPtr& stmt : program) {
            if (stmt->kind == StmtKind::Let || stmt->kind == StmtKind::Assign ||
                stmt->kind == StmtKind::CompoundAssign || stmt->kind == StmtKind::For)
                for_each_own_binding(*stmt,
                                     [&](const std::string& name) { globals_.insert(name); });
            if (stmt->kind == StmtKind::Function &&
                static_cast<const FunctionStmt&>(*stmt).name == "main")
                has_main_ = true;
        }
        every_statement(program, [&](const Stmt& stmt) {
            if (stmt.kind == StmtKind::Global)
                declared_global_.insert(static_cast<const GlobalStmt&>(stmt).name);
            if (stmt.kind != StmtKind::Use)
                for_each_own_binding(stmt, [&](const std::string& name) { ++bindings[name]; });
            if (stmt.kind == StmtKind::Function)
                functions_.insert(static_cast<const FunctionStmt&>(stmt).name);
        });
        // A name also bound as a variable or parameter may hold anything.
        std::erase_if(functions_, [&](const std::string& name) { return bindings[name] != 1; });
    }

    template <class Visit> static void every_statement(const Block& block, Visit&& visit) {
        for (const StmtPtr& stmt : block) {
            visit(*stmt);
            for_each_child(
                *stmt, [](const Expr&) {},
                [&](const Block& inner) { every_statement(inner, visit); },
                [&](const FunctionStmt& f) { every_statement(f.function->body, visit); });
        }
    }

    // `function` is the definition whose body holds the block, if any.
    void block(const Block& statements, const FunctionStmt* function) {
        std::map<std::string, const FunctionStmt*> defined_here;
        for (const StmtPtr& stmt : statements) {
            statement(*stmt, function);
            if (stmt->kind != StmtKind::Function) continue;
            auto& def = static_cast<const FunctionStmt&>(*stmt);
            auto [earlier, first] = defined_here.try_emplace(def.name, &def);
            if (!first) {
                report(&def, "'" + def.name + "' is defined again here, and this definition " +
                                 "replaces the one on line " + line_of(earlier->second) +
                                 ": rename one of them");
            }
            earlier->second = &def;
        }
    }

    void statement(const Stmt& stmt, const FunctionStmt* function) {
        switch (stmt.kind) {
        case StmtKind::Assign:
        case StmtKind::CompoundAssign:
            if (function) assignment_to_global(static_cast<const AssignStmt&>(stmt), *function);
            break;
        case StmtKind::Function: {
            auto& def = static_cast<const FunctionStmt&>(stmt);
            if (find_builtin(def.name)) {
                report(&def, "'" + def.name + "' is the name of a builtin, which every call " +
                                 def.name + "(...) runs instead of this function: rename it");
            }
            break;
        }
        case StmtKind::Let:
        case StmtKind::If:
        case StmtKind::While:
        case StmtKind::For:
        case StmtKind::Match:
        case StmtKind::Try:
        case StmtKind::Return:
        case StmtKind::Break:
        case StmtKind::Continue:
        case StmtKind::Global:
        case StmtKind::Use:
        case StmtKind::Expr: break;
        }
        for_each_child(
            stmt, [&](const Expr& e) { expression(e); },
            [&](const Block& inner) { block(inner, function); },
            [&](const FunctionStmt& f) { block(f.function->body, &f); });
    }

    // x = v or x += v in a function, for a global x: the write makes a local.
    void assignment_to_global(const AssignStmt& stmt, const FunctionStmt& function) {
        if (!globals_.count(stmt.name) || declared_global_.count(stmt.name)) return;
        bool local = false; // a parameter, or made local on purpose
        for (const std::string& param : function.function->params)
            local = local || param == stmt.name;
        every_statement(function.function->body, [&](const Stmt& s) {
            if (s.kind == StmtKind::Let || s.kind == StmtKind::For || s.kind == StmtKind::Try)
                for_each_own_binding(
                    s, [&](const std::string& name) { local = local || name == stmt.name; });
        });
        if (local) return;
        report(&stmt, "'" + stmt.name + "' is a global, but this assignment in '" + function.name +
                          "' makes a local '" + stmt.name +
                          "' and leaves the global unchanged: write 'global " + stmt.name +
                          "' in '" + function.name + "' before it");
    }

    // Without main the top level runs twice: a first pass for lets,
    // definitions and imports, then everything in order.
    void top_level_let(const AssignStmt& let) {
        if (has_main_) return;
        std::string called;
        for_each_expression(*let.value, [&](const Expr& e) {
            if (e.kind == ExprKind::Call && called.empty() &&
                has_visible_effect(static_cast<const CallExpr&>(e)))
                called = static_cast<const CallExpr&>(e).name;
            return true;
        });
        if (called.empty()) return;
        report(&let, "this script has no main, so its top level runs twice (once to set up, "
                     "then in order) and '" +
                         called + "' is called twice here: put the program in def main() { ... }");
    }

    bool has_visible_effect(const CallExpr& call) const {
        if (call.name == "call") return true; // whatever the callee does
        if (!call.qualified) {
            for (std::string_view name : kVisibleBuiltins)
                if (call.name == name) return true;
            return !find_builtin(call.name); // the script's own function
        }
        return true; // a module function
    }

    void expression(const Expr& root) {
        for_each_expression(root, [&](const Expr& e) {
            if (e.kind == ExprKind::Call) function_shown(static_cast<const CallExpr&>(e));
            if (e.kind != ExprKind::BinaryOp) return true;
            auto& b = static_cast<const BinaryOpExpr&>(e);
            if (b.op == TokenKind::Plus) text_plus_number(b);
            if (b.op != TokenKind::And && b.op != TokenKind::Or) return true;
            logic_chain(b);
            return false; // its operands are walked there
        });
    }

    void text_plus_number(const BinaryOpExpr& e) {
        bool text_and_number = (e.left->kind == ExprKind::String && is_number(*e.right)) ||
                               (e.right->kind == ExprKind::String && is_number(*e.left));
        if (text_and_number)
            report(&e, "'+' does not join a text and a number (the run fails with 'Cannot "
                       "apply Plus'): write concat(TEXT, NUMBER)");
    }

    // a and b and c ...: every operand runs, so one that indexes or calls a
    // name an operand before it tests is not guarded by that test.
    void logic_chain(const BinaryOpExpr& top) {
        std::vector<const BinaryOpExpr*> links;
        const Expr* first = &top;
        while (first->kind == ExprKind::BinaryOp &&
               static_cast<const BinaryOpExpr*>(first)->op == top.op) {
            links.push_back(static_cast<const BinaryOpExpr*>(first));
            first = links.back()->left.get();
        }
        std::set<std::string> guarded;
        add_tested_names(*first, guarded);
        expression(*first);
        for (auto link = links.rbegin(); link != links.rend(); ++link) {
            const Expr& operand = *(*link)->right;
            if (std::string used = unguarded_use(operand, guarded); !used.empty()) {
                std::string op = top.op == TokenKind::And ? "and" : "or";
                report(*link, "'" + op + "' always runs both sides, so '" + used +
                                  "' runs whatever the left side gives: test the left side first "
                                  "with its own if, and run the right side inside it");
            }
            add_tested_names(operand, guarded);
            expression(operand);
        }
    }

    // The names an operand tests, as in len(xs) > 0 or f != 0; a name it
    // indexes itself (xs[i] < 3) is not a test of it.
    static void add_tested_names(const Expr& operand, std::set<std::string>& names) {
        std::set<const Expr*> indexed;
        std::vector<const IdentifierExpr*> found;
        for_each_expression(operand, [&](const Expr& x) {
            if (x.kind == ExprKind::Index) indexed.insert(indexed_name(x));
            if (x.kind == ExprKind::Identifier)
                found.push_back(static_cast<const IdentifierExpr*>(&x));
            return true;
        });
        for (const IdentifierExpr* name : found)
            if (!indexed.count(name)) names.insert(name->name);
    }

    // The first element access or call of an operand on a tested name.
    static std::string unguarded_use(const Expr& operand, const std::set<std::string>& guarded) {
        std::string used;
        for_each_expression(operand, [&](const Expr& x) {
            if (!used.empty()) return false;
            if (x.kind == ExprKind::Index) {
                const IdentifierExpr* name = indexed_name(x);
                if (name && guarded.count(name->name)) used = name->name + "[...]";
            }
            if (x.kind == ExprKind::Call) {
                auto& call = static_cast<const CallExpr&>(x);
                if (!call.qualified && guarded.count(call.name)) used = call.name + "(...)";
            }
            return true;
        });
        return used;
    }

    void function_shown(const CallExpr& call) {
        for (const ShownArgument& shown : kShownArguments) {
            if (call.name != shown.call) continue;
            for (size_t i = 0; i < call.args.size(); ++i) {
                if (shown.argument >= 0 && size_t(shown.argument) != i) continue;
                const Expr& arg = *call.args[i];
                if (arg.kind != ExprKind::Identifier) continue;
                const std::string& name = static_cast<const IdentifierExpr&>(arg).name;
                if (!functions_.count(name)) continue;
                report(&arg, "'" + name + "' is a function, so '" + call.name +
                                 "' shows the text <function> here: to show what it returns, "
                                 "call it: " +
                                 name + "()");
            }
        }
    }

    void comments_in_other_languages() {
        for (auto [from, to] : foreign_comment_lines(source_, tokens_, map_)) {
            std::string written(source_.substr(from, 2));
            out_.push_back({from, "'" + written +
                                      "' does not start a comment, so this line is "
                                      "read as code: comments start with '#'"});
        }
    }

    std::string_view source_;
    const TokenList& tokens_;
    const SourceMap& map_;
    const ParseNotes& notes_;
    std::vector<Finding>& out_;
    LineIndex lines_;
    std::set<std::string> globals_;
    std::set<std::string> declared_global_;
    std::set<std::string> functions_;
    bool has_main_ = false;
};

bool starts_line(std::string_view source, uint32_t offset) {
    while (offset > 0) {
        char c = source[offset - 1];
        if (c == '\n') return true;
        if (c != ' ' && c != '\t' && c != '\r') return false;
        --offset;
    }
    return true;
}

} // namespace

std::vector<std::pair<uint32_t, uint32_t>>
foreign_comment_lines(std::string_view source, const TokenList& tokens, const SourceMap& map) {
    std::vector<std::pair<uint32_t, uint32_t>> lines;
    for (size_t i = 0; i + 1 < tokens.size(); ++i) {
        TokenKind kind = tokens[i].kind;
        if ((kind != TokenKind::Slash && kind != TokenKind::Minus) || tokens[i + 1].kind != kind)
            continue;
        uint32_t at = map.token_offsets[i];
        if (map.token_offsets[i + 1] != at + 1 || !starts_line(source, at)) continue;
        size_t end = source.find('\n', at);
        lines.emplace_back(at, uint32_t(end == std::string_view::npos ? source.size() : end));
    }
    return lines;
}

void add_trap_findings(std::string_view source, const TokenList& tokens, const SourceMap& map,
                       const Block& program, const ParseNotes& notes, std::vector<Finding>& out) {
    Traps(source, tokens, map, notes, out).run(program);
}

} // namespace drevel
