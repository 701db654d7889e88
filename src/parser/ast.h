// The syntax tree. Nodes own their children; names are interned when the tree
// is built (the text stays for the debug form) and call sites of builtins are
// bound then, so evaluation only reads the tree.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "interpreter/value.h"
#include "lexer/token.h"
#include "parser/symbols.h"

namespace drevel {

struct BuiltinEntry;

enum class ExprKind : uint8_t {
    Number,
    Float,
    String,
    Boolean,
    Identifier,
    BinaryOp,
    UnaryOp,
    Call,
    Array,
    Dict,
    Index,
    Range,
};

struct Expr {
    const ExprKind kind;
    explicit Expr(ExprKind k) : kind(k) {}
    virtual ~Expr() = default;
    virtual std::unique_ptr<Expr> clone() const = 0;
};
using ExprPtr = std::unique_ptr<Expr>;

// Literals keep their value ready, so evaluation copies it without building.
struct NumberExpr final : Expr {
    int64_t value;
    Value constant;
    explicit NumberExpr(int64_t v) : Expr(ExprKind::Number), value(v), constant(Value::number(v)) {}
    ExprPtr clone() const override { return std::make_unique<NumberExpr>(value); }
};

struct FloatExpr final : Expr {
    double value;
    Value constant;
    explicit FloatExpr(double v) : Expr(ExprKind::Float), value(v), constant(Value::floating(v)) {}
    ExprPtr clone() const override { return std::make_unique<FloatExpr>(value); }
};

struct StringExpr final : Expr {
    std::string value;
    Value constant; // the literal as a value, shared by every evaluation
    DictKey key;    // the literal as an interned dict key
    explicit StringExpr(std::string v)
        : Expr(ExprKind::String), value(std::move(v)), constant(Value::string(value)),
          key(value) {}
    ExprPtr clone() const override { return std::make_unique<StringExpr>(value); }
};

struct BooleanExpr final : Expr {
    bool value;
    Value constant;
    explicit BooleanExpr(bool v) : Expr(ExprKind::Boolean), value(v), constant(Value::boolean(v)) {}
    ExprPtr clone() const override { return std::make_unique<BooleanExpr>(value); }
};

struct IdentifierExpr final : Expr {
    std::string name;
    Symbol symbol;
    explicit IdentifierExpr(std::string n)
        : Expr(ExprKind::Identifier), name(std::move(n)), symbol(intern(name)) {}
    ExprPtr clone() const override { return std::make_unique<IdentifierExpr>(name); }
};

// True for expressions made only of number literals, names and arithmetic:
// they run no code and can be tried in machine numbers first.
bool is_numeric_candidate(const Expr& expr);

struct BinaryOpExpr final : Expr {
    ExprPtr left;
    TokenKind op;
    ExprPtr right;
    bool numeric; // arithmetic or comparison over numeric candidates
    BinaryOpExpr(ExprPtr l, TokenKind o, ExprPtr r);
    ExprPtr clone() const override {
        return std::make_unique<BinaryOpExpr>(left->clone(), op, right->clone());
    }
};

struct UnaryOpExpr final : Expr {
    TokenKind op;
    ExprPtr operand;
    bool numeric; // a minus over a numeric candidate
    UnaryOpExpr(TokenKind o, ExprPtr e)
        : Expr(ExprKind::UnaryOp), op(o), operand(std::move(e)),
          numeric(o == TokenKind::Minus && is_numeric_candidate(*operand)) {}
    ExprPtr clone() const override { return std::make_unique<UnaryOpExpr>(op, operand->clone()); }
};

struct CallExpr final : Expr {
    std::string name;
    std::vector<ExprPtr> args;
    // Bound when built: a plain name's builtin (or nullptr) and symbol; for a
    // dotted name the module word and the function word.
    const BuiltinEntry* builtin = nullptr;
    Symbol symbol = 0;
    bool qualified = false;
    std::string module_word;
    std::string function_word;
    CallExpr(std::string n, std::vector<ExprPtr> a);
    ExprPtr clone() const override;
};

struct ArrayExpr final : Expr {
    std::vector<ExprPtr> elements;
    explicit ArrayExpr(std::vector<ExprPtr> e) : Expr(ExprKind::Array), elements(std::move(e)) {}
    ExprPtr clone() const override;
};

struct DictExpr final : Expr {
    std::vector<std::pair<std::string, ExprPtr>> entries;
    std::vector<DictKey> keys; // the entries' keys, interned
    explicit DictExpr(std::vector<std::pair<std::string, ExprPtr>> e)
        : Expr(ExprKind::Dict), entries(std::move(e)), keys(intern_keys(entries)) {}
    ExprPtr clone() const override;
};

struct IndexExpr final : Expr {
    ExprPtr object;
    ExprPtr index;
    mutable uint32_t key_slot = 0; // where a literal key was last found in a dict
    IndexExpr(ExprPtr o, ExprPtr i)
        : Expr(ExprKind::Index), object(std::move(o)), index(std::move(i)) {}
    ExprPtr clone() const override {
        return std::make_unique<IndexExpr>(object->clone(), index->clone());
    }
};

struct RangeExpr final : Expr {
    ExprPtr start;
    ExprPtr end;
    RangeExpr(ExprPtr s, ExprPtr e)
        : Expr(ExprKind::Range), start(std::move(s)), end(std::move(e)) {}
    ExprPtr clone() const override {
        return std::make_unique<RangeExpr>(start->clone(), end->clone());
    }
};

enum class StmtKind : uint8_t {
    Let,
    Assign,
    CompoundAssign,
    Function,
    If,
    While,
    For,
    Match,
    Try,
    Return,
    Break,
    Continue,
    Global,
    Use,
    Expr,
};

struct Stmt {
    const StmtKind kind;
    explicit Stmt(StmtKind k) : kind(k) {}
    virtual ~Stmt() = default;
    virtual std::unique_ptr<Stmt> clone() const = 0;
};
using StmtPtr = std::unique_ptr<Stmt>;
using Block = std::vector<StmtPtr>;

Block clone_block(const Block& block);

// Parameter names and body of a function. Shared, never changed after it is
// built: a function value holds a reference instead of a deep copy.
struct FunctionBody : HeapObject {
    FunctionBody() : HeapObject(ValueKind::Function) {}
    std::vector<std::string> params;
    std::vector<Symbol> param_symbols;
    Block body;
    uint32_t nesting = 1; // nesting_depth(body)
};
// How many statements and expressions deep a block nests at most.
uint32_t nesting_depth(const Block& block);
void retain_function(FunctionBody* f);
void release_function(FunctionBody* f);

// Let, Assign and CompoundAssign share one shape. When the value is a builtin
// call or a Plus with the target itself as an operand, the old binding is let
// go just before the operation runs, so its buffer can grow in place.
struct AssignStmt final : Stmt {
    std::string name;
    Symbol symbol;
    TokenKind op; // CompoundAssign only: PlusAssign, MinusAssign, StarAssign, SlashAssign
    TokenKind binary_op = TokenKind::Plus; // CompoundAssign: the operator op applies
    ExprPtr value;
    const Expr* releasing_operation = nullptr;
    bool numeric_value;   // the value is arithmetic or a number rule over numeric candidates
    bool numeric_operand; // the value is a numeric candidate (it runs no code)
    AssignStmt(StmtKind k, std::string n, TokenKind o, ExprPtr v);
    StmtPtr clone() const override;
};

struct FunctionStmt final : Stmt {
    std::string name;
    Symbol symbol;
    FunctionBody* function; // owned reference
    FunctionStmt(std::string n, std::vector<std::string> params, Block body);
    ~FunctionStmt() override { release_function(function); }
    StmtPtr clone() const override;
};

struct IfStmt final : Stmt {
    ExprPtr condition;
    Block then_body;
    std::optional<Block> else_body;
    IfStmt(ExprPtr c, Block t, std::optional<Block> e)
        : Stmt(StmtKind::If), condition(std::move(c)), then_body(std::move(t)),
          else_body(std::move(e)) {}
    StmtPtr clone() const override;
};

struct WhileStmt final : Stmt {
    ExprPtr condition;
    Block body;
    WhileStmt(ExprPtr c, Block b)
        : Stmt(StmtKind::While), condition(std::move(c)), body(std::move(b)) {}
    StmtPtr clone() const override;
};

struct ForStmt final : Stmt {
    std::string var;
    Symbol symbol;
    ExprPtr iter;
    Block body;
    ForStmt(std::string v, ExprPtr i, Block b)
        : Stmt(StmtKind::For), var(std::move(v)), symbol(intern(var)), iter(std::move(i)),
          body(std::move(b)) {}
    StmtPtr clone() const override;
};

// A pattern is Wildcard when its expression is empty.
struct MatchArm {
    ExprPtr pattern;
    Block body;
};

struct MatchStmt final : Stmt {
    ExprPtr expr;
    std::vector<MatchArm> arms;
    MatchStmt(ExprPtr e, std::vector<MatchArm> a)
        : Stmt(StmtKind::Match), expr(std::move(e)), arms(std::move(a)) {}
    StmtPtr clone() const override;
};

struct TryStmt final : Stmt {
    Block body;
    std::string catch_var;
    Symbol symbol;
    Block catch_body;
    TryStmt(Block b, std::string v, Block c)
        : Stmt(StmtKind::Try), body(std::move(b)), catch_var(std::move(v)),
          symbol(intern(catch_var)), catch_body(std::move(c)) {}
    StmtPtr clone() const override;
};

struct ReturnStmt final : Stmt {
    ExprPtr value; // empty for a bare return
    explicit ReturnStmt(ExprPtr v) : Stmt(StmtKind::Return), value(std::move(v)) {}
    StmtPtr clone() const override;
};

struct SignalStmt final : Stmt { // Break, Continue
    explicit SignalStmt(StmtKind k) : Stmt(k) {}
    StmtPtr clone() const override { return std::make_unique<SignalStmt>(kind); }
};

struct GlobalStmt final : Stmt {
    std::string name;
    Symbol symbol;
    explicit GlobalStmt(std::string n)
        : Stmt(StmtKind::Global), name(std::move(n)), symbol(intern(name)) {}
    StmtPtr clone() const override { return std::make_unique<GlobalStmt>(name); }
};

struct UseStmt final : Stmt {
    // The module as written: a name, or author.module for an installed one.
    std::string module;
    std::optional<std::string> alias;
    std::optional<std::vector<std::string>> items;
    UseStmt(std::string m, std::optional<std::string> a, std::optional<std::vector<std::string>> i)
        : Stmt(StmtKind::Use), module(std::move(m)), alias(std::move(a)), items(std::move(i)) {}
    StmtPtr clone() const override { return std::make_unique<UseStmt>(module, alias, items); }
};

struct ExprStmt final : Stmt {
    ExprPtr expr;
    explicit ExprStmt(ExprPtr e) : Stmt(StmtKind::Expr), expr(std::move(e)) {}
    StmtPtr clone() const override { return std::make_unique<ExprStmt>(expr->clone()); }
};

// The debug form: one line, no indentation, as tree dumps and call traces
// show it.
std::string debug_form(const Expr& expr);
std::string debug_form(const Stmt& stmt);
std::string debug_form(const Block& block);
void append_debug_form(std::string& out, const Expr& expr);
void append_debug_form(std::string& out, const Stmt& stmt);
void append_debug_form(std::string& out, const Block& block);

} // namespace drevel
