// The syntax tree. Nodes own their children and hold plain payloads; names
// are interned when the tree is built (the text stays for the debug form).
// Whatever evaluation needs ready-made is attached later by the interpreter,
// in the words each node keeps for it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "lexer/token.h"
#include "parser/symbols.h"

namespace drevel {

// The words a node keeps for whoever evaluates it: three handlers, a word of
// flags and a pointer. The tree itself never reads them.
using NodeHandler = void (*)();
struct NodeWords {
    mutable NodeHandler handler = nullptr;
    mutable NodeHandler number_handler = nullptr;
    mutable NodeHandler float_handler = nullptr;
    mutable const void* bound = nullptr;
    mutable uint32_t flags = 0;
};

// Something the evaluator made for a node and that lives as long as the
// node: the tree frees it through the function given with it.
class Attachment {
  public:
    Attachment() = default;
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;
    ~Attachment() {
        if (release_) release_(data_);
    }
    void* get() const { return data_; }
    void set(void* data, void (*release)(void*)) const {
        if (release_) release_(data_);
        data_ = data;
        release_ = release;
    }

  private:
    mutable void* data_ = nullptr;
    mutable void (*release_)(void*) = nullptr;
};

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

struct Expr : NodeWords {
    const ExprKind kind;
    explicit Expr(ExprKind k) : kind(k) {}
    virtual ~Expr() = default;
};
using ExprPtr = std::unique_ptr<Expr>;

struct NumberExpr final : Expr {
    int64_t value;
    explicit NumberExpr(int64_t v) : Expr(ExprKind::Number), value(v) {}
};

struct FloatExpr final : Expr {
    double value;
    explicit FloatExpr(double v) : Expr(ExprKind::Float), value(v) {}
};

struct StringExpr final : Expr {
    std::string value;
    Attachment literal; // the evaluator's ready-made value of it
    explicit StringExpr(std::string v) : Expr(ExprKind::String), value(std::move(v)) {}
};

struct BooleanExpr final : Expr {
    bool value;
    explicit BooleanExpr(bool v) : Expr(ExprKind::Boolean), value(v) {}
};

struct IdentifierExpr final : Expr {
    std::string name;
    Symbol symbol;
    explicit IdentifierExpr(std::string n)
        : Expr(ExprKind::Identifier), name(std::move(n)), symbol(intern(name)) {}
};

struct BinaryOpExpr final : Expr {
    ExprPtr left;
    TokenKind op;
    ExprPtr right;
    BinaryOpExpr(ExprPtr l, TokenKind o, ExprPtr r)
        : Expr(ExprKind::BinaryOp), left(std::move(l)), op(o), right(std::move(r)) {}
    ~BinaryOpExpr() override; // frees a long chain link by link
};

struct UnaryOpExpr final : Expr {
    TokenKind op;
    ExprPtr operand;
    UnaryOpExpr(TokenKind o, ExprPtr e) : Expr(ExprKind::UnaryOp), op(o), operand(std::move(e)) {}
};

struct CallExpr final : Expr {
    std::string name;
    std::vector<ExprPtr> args;
    // A plain name's symbol; for a dotted name the module word and the
    // function word.
    Symbol symbol = 0;
    bool qualified = false;
    std::string module_word;
    std::string function_word;
    CallExpr(std::string n, std::vector<ExprPtr> a);
};

struct ArrayExpr final : Expr {
    std::vector<ExprPtr> elements;
    explicit ArrayExpr(std::vector<ExprPtr> e) : Expr(ExprKind::Array), elements(std::move(e)) {}
};

struct DictExpr final : Expr {
    std::vector<std::pair<std::string, ExprPtr>> entries;
    Attachment keys; // the entries' keys, as the evaluator keeps them
    explicit DictExpr(std::vector<std::pair<std::string, ExprPtr>> e)
        : Expr(ExprKind::Dict), entries(std::move(e)) {}
};

struct IndexExpr final : Expr {
    ExprPtr object;
    ExprPtr index;
    mutable uint32_t key_slot = 0; // evaluator's: where a literal key was last found
    IndexExpr(ExprPtr o, ExprPtr i)
        : Expr(ExprKind::Index), object(std::move(o)), index(std::move(i)) {}
};

struct RangeExpr final : Expr {
    ExprPtr start;
    ExprPtr end;
    RangeExpr(ExprPtr s, ExprPtr e)
        : Expr(ExprKind::Range), start(std::move(s)), end(std::move(e)) {}
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

struct Stmt : NodeWords {
    const StmtKind kind;
    explicit Stmt(StmtKind k) : kind(k) {}
    virtual ~Stmt() = default;
};
using StmtPtr = std::unique_ptr<Stmt>;
using Block = std::vector<StmtPtr>;

// Parameter names and body of a function. Shared, never changed after it is
// built: the function values made from it keep it alive after the tree goes.
struct FunctionDefinition {
    std::vector<std::string> params;
    std::vector<Symbol> param_symbols;
    Block body;
    uint32_t nesting = 1; // nesting_depth(body)
};
// How many statements and expressions deep a block nests at most.
uint32_t nesting_depth(const Block& block);

// Let, Assign and CompoundAssign share one shape.
struct AssignStmt final : Stmt {
    std::string name;
    Symbol symbol;
    TokenKind op; // CompoundAssign only: PlusAssign, MinusAssign, StarAssign, SlashAssign
    TokenKind binary_op = TokenKind::Plus; // CompoundAssign: the operator op applies
    ExprPtr value;
    AssignStmt(StmtKind k, std::string n, TokenKind o, ExprPtr v);
};

struct FunctionStmt final : Stmt {
    std::string name;
    Symbol symbol;
    std::shared_ptr<const FunctionDefinition> function;
    Attachment value; // the evaluator's function value of it
    FunctionStmt(std::string n, std::vector<std::string> params, Block body);
};

struct IfStmt final : Stmt {
    ExprPtr condition;
    Block then_body;
    std::optional<Block> else_body;
    IfStmt(ExprPtr c, Block t, std::optional<Block> e)
        : Stmt(StmtKind::If), condition(std::move(c)), then_body(std::move(t)),
          else_body(std::move(e)) {}
};

struct WhileStmt final : Stmt {
    ExprPtr condition;
    Block body;
    WhileStmt(ExprPtr c, Block b)
        : Stmt(StmtKind::While), condition(std::move(c)), body(std::move(b)) {}
};

struct ForStmt final : Stmt {
    std::string var;
    Symbol symbol;
    ExprPtr iter;
    Block body;
    ForStmt(std::string v, ExprPtr i, Block b)
        : Stmt(StmtKind::For), var(std::move(v)), symbol(intern(var)), iter(std::move(i)),
          body(std::move(b)) {}
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
};

struct TryStmt final : Stmt {
    Block body;
    std::string catch_var;
    Symbol symbol;
    Block catch_body;
    TryStmt(Block b, std::string v, Block c)
        : Stmt(StmtKind::Try), body(std::move(b)), catch_var(std::move(v)),
          symbol(intern(catch_var)), catch_body(std::move(c)) {}
};

struct ReturnStmt final : Stmt {
    ExprPtr value;      // empty for a bare return
    Attachment literal; // the evaluator's ready value of a literal returned
    explicit ReturnStmt(ExprPtr v) : Stmt(StmtKind::Return), value(std::move(v)) {}
};

struct SignalStmt final : Stmt { // Break, Continue
    explicit SignalStmt(StmtKind k) : Stmt(k) {}
};

struct GlobalStmt final : Stmt {
    std::string name;
    Symbol symbol;
    explicit GlobalStmt(std::string n)
        : Stmt(StmtKind::Global), name(std::move(n)), symbol(intern(name)) {}
};

struct UseStmt final : Stmt {
    // The module as written: a name, or author.module for an installed one.
    std::string module;
    std::optional<std::string> alias;
    std::optional<std::vector<std::string>> items;
    UseStmt(std::string m, std::optional<std::string> a, std::optional<std::vector<std::string>> i)
        : Stmt(StmtKind::Use), module(std::move(m)), alias(std::move(a)), items(std::move(i)) {}
};

struct ExprStmt final : Stmt {
    ExprPtr expr;
    explicit ExprStmt(ExprPtr e) : Stmt(StmtKind::Expr), expr(std::move(e)) {}
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
