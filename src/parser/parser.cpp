#include "parser/parser.h"

#include "parser/operators.h"

namespace drevel {

namespace {

using TK = TokenKind;

class Parser {
  public:
    Parser(const TokenList& tokens, ParseNotes* notes) : tokens_(tokens), notes_(notes) {}

  public:
    bool too_deep() const { return too_deep_; }

    Block program() { return statements(TK::EOF_); }

  private:
    // ---- token access ----
    const Token& current() const { return pos_ < tokens_.size() ? tokens_[pos_] : eof_; }
    const Token& ahead(size_t n) const {
        return pos_ + n < tokens_.size() ? tokens_[pos_ + n] : eof_;
    }
    bool at(TK kind) const { return current().kind == kind; }
    void advance() {
        if (pos_ < tokens_.size()) ++pos_;
    }
    bool consume_if(TK kind) {
        if (at(kind)) {
            advance();
            return true;
        }
        return false;
    }
    void skip_semicolon() { consume_if(TK::Semicolon); }

    // ---- notes on what is dropped; none of them changes the tree ----
    void note(ParseFinding finding, size_t token, size_t start = 0) {
        if (notes_) notes_->notes.push_back({finding, uint32_t(token), uint32_t(start), 1});
    }
    // Drops the current token to keep a loop moving; adjacent drops by the
    // same loop make one note.
    void skip(ParseFinding finding) {
        if (notes_) {
            auto& notes = notes_->notes;
            if (!notes.empty() && notes.back().finding == finding &&
                notes.back().token + notes.back().length == pos_)
                ++notes.back().length;
            else
                note(finding, pos_);
        }
        advance();
    }
    // The closing bracket of the one opened at `open`, if it is there.
    void close(TK closer, size_t open) {
        if (!consume_if(closer)) note(ParseFinding::Unclosed, open);
    }
    void mark(const void* node, size_t token) {
        // A node freed while parsing may leave its address to a later one.
        if (notes_ && notes_->record_nodes)
            notes_->node_tokens.insert_or_assign(node, uint32_t(token));
    }
    StmtPtr broken(size_t start) {
        note(ParseFinding::BrokenStatement, pos_, start);
        return nullptr;
    }

    // Beyond the nesting limit the parse is abandoned: the position jumps to
    // the end, so every loop sees the end of input and unwinds at once.
    void refuse() {
        too_deep_ = true;
        pos_ = tokens_.size();
    }
    struct DepthGuard {
        Parser& p;
        explicit DepthGuard(Parser& parser) : p(parser) {
            if (++p.depth_ > kMaxNestingDepth) p.refuse();
        }
        ~DepthGuard() { --p.depth_; }
    };
    // Member, element and call chains (a.b[0](1)) count each link as a level.
    // Operator chains do not: a + b + c ... is one list a person wrote, not
    // nesting, and every walk of the tree takes such chains without using
    // stack per link.
    void chain_link(int& links) {
        if (++links + depth_ > kMaxNestingDepth) refuse();
    }

    // ---- statements ----
    Block block_body() { return statements(TK::RBrace); }

    // Statements up to the end token (or the end of input). A token that
    // starts nothing is dropped, so the loop always moves.
    Block statements(TK end) {
        Block out;
        while (!at(end) && !at(TK::EOF_)) {
            size_t before = pos_;
            StmtPtr s = statement();
            if (pos_ == before) {
                skip(element_assignment(out) ? ParseFinding::ElementAssignment
                                             : ParseFinding::SkippedStatementStart);
            } else if (s) {
                mark(s.get(), before);
                out.push_back(std::move(s));
            }
        }
        return out;
    }

    // An assignment operator right after a statement that is an element or
    // member: the assignment that the language does not have.
    bool element_assignment(const Block& so_far) const {
        if (!notes_ || so_far.empty() || so_far.back()->kind != StmtKind::Expr) return false;
        TK k = current().kind;
        if (k != TK::Assign && !is_compound_assignment(k)) return false;
        return static_cast<const ExprStmt&>(*so_far.back()).expr->kind == ExprKind::Index &&
               tokens_[pos_ - 1].kind != TK::Semicolon;
    }

    // "{" statements "}"; the closing brace may be missing at the end.
    std::optional<Block> braced_block() {
        size_t open = pos_;
        if (!consume_if(TK::LBrace)) return std::nullopt;
        Block body = block_body();
        close(TK::RBrace, open);
        return body;
    }

    StmtPtr statement() {
        DepthGuard guard(*this);
        switch (current().kind) {
        case TK::Let: return let_statement();
        case TK::Def: return def_statement();
        case TK::Return: {
            advance();
            ExprPtr value;
            if (!at(TK::RBrace) && !at(TK::Semicolon) && !at(TK::EOF_)) value = expression();
            skip_semicolon();
            return std::make_unique<ReturnStmt>(std::move(value));
        }
        case TK::If: return if_statement();
        case TK::While: {
            size_t start = pos_;
            advance();
            ExprPtr condition = expression();
            auto body = braced_block();
            if (!body) return broken(start);
            return std::make_unique<WhileStmt>(std::move(condition), std::move(*body));
        }
        case TK::For: return for_statement();
        case TK::Break:
        case TK::Continue: {
            StmtKind kind = at(TK::Break) ? StmtKind::Break : StmtKind::Continue;
            advance();
            skip_semicolon();
            return std::make_unique<SignalStmt>(kind);
        }
        case TK::Match: return match_statement();
        case TK::Try: return try_statement();
        case TK::Global: {
            size_t start = pos_;
            advance();
            if (!at(TK::Identifier)) return broken(start);
            std::string name = current().text;
            advance();
            skip_semicolon();
            return std::make_unique<GlobalStmt>(std::move(name));
        }
        case TK::Use: return use_statement();
        case TK::Identifier: {
            TK next = ahead(1).kind;
            if (next == TK::Assign) {
                std::string name = current().text;
                pos_ += 2;
                ExprPtr value = expression();
                skip_semicolon();
                return std::make_unique<AssignStmt>(StmtKind::Assign, std::move(name), TK::Assign,
                                                    std::move(value));
            }
            if (is_compound_assignment(next)) {
                std::string name = current().text;
                pos_ += 2;
                ExprPtr value = expression();
                skip_semicolon();
                return std::make_unique<AssignStmt>(StmtKind::CompoundAssign, std::move(name), next,
                                                    std::move(value));
            }
            break;
        }
        default: break;
        }
        ExprPtr e = expression();
        skip_semicolon();
        return std::make_unique<ExprStmt>(std::move(e));
    }

    StmtPtr let_statement() {
        size_t start = pos_;
        advance();
        if (!at(TK::Identifier)) return broken(start);
        std::string name = current().text;
        advance();
        if (!consume_if(TK::Assign)) return broken(start);
        ExprPtr value = expression();
        skip_semicolon();
        return std::make_unique<AssignStmt>(StmtKind::Let, std::move(name), TK::Assign,
                                            std::move(value));
    }

    StmtPtr def_statement() {
        size_t start = pos_;
        advance();
        if (!at(TK::Identifier)) return broken(start);
        std::string name = current().text;
        advance();
        size_t open = pos_;
        if (!consume_if(TK::LParen)) return broken(start);
        std::vector<std::string> params;
        while (at(TK::Identifier)) {
            params.push_back(current().text);
            advance();
            consume_if(TK::Comma);
        }
        if (at(TK::LBrace))
            close(TK::RParen, open);
        else
            consume_if(TK::RParen);
        auto body = braced_block();
        if (!body) return broken(start);
        return std::make_unique<FunctionStmt>(std::move(name), std::move(params), std::move(*body));
    }

    StmtPtr if_statement() {
        size_t start = pos_;
        advance();
        ExprPtr condition = expression();
        auto then_body = braced_block();
        if (!then_body) return broken(start);
        std::optional<Block> else_body;
        size_t else_token = pos_;
        if (consume_if(TK::Else)) {
            else_body = braced_block();
            if (!else_body) note(ParseFinding::ElseWithoutBlock, else_token);
        }
        return std::make_unique<IfStmt>(std::move(condition), std::move(*then_body),
                                        std::move(else_body));
    }

    StmtPtr for_statement() {
        size_t start = pos_;
        advance();
        if (!at(TK::Identifier)) return broken(start);
        std::string var = current().text;
        advance();
        if (!consume_if(TK::In)) note(ParseFinding::BrokenStatement, pos_, start);
        ExprPtr iter = expression();
        auto body = braced_block();
        if (!body) return broken(start);
        return std::make_unique<ForStmt>(std::move(var), std::move(iter), std::move(*body));
    }

    StmtPtr match_statement() {
        size_t start = pos_;
        advance();
        ExprPtr scrutinee = expression();
        size_t open = pos_;
        if (!consume_if(TK::LBrace)) return broken(start);
        std::vector<MatchArm> arms;
        while (true) {
            size_t before = pos_;
            ExprPtr pattern;
            if (at(TK::Identifier) && current().text == "_") {
                advance();
            } else if (at(TK::RBrace) || at(TK::EOF_)) {
                close(TK::RBrace, open);
                break;
            } else {
                pattern = expression();
            }
            if (!consume_if(TK::FatArrow)) {
                // Not an arm: drop what was read, and at least one token.
                if (pos_ == before)
                    skip(at(TK::Comma) ? ParseFinding::MatchArmComma
                                       : ParseFinding::SkippedInMatch);
                else
                    note(ParseFinding::ArmWithoutArrow, before);
                continue;
            }
            Block body;
            size_t body_open = pos_;
            if (consume_if(TK::LBrace)) {
                body = block_body();
                close(TK::RBrace, body_open);
            } else {
                body.push_back(std::make_unique<ExprStmt>(expression()));
            }
            skip_semicolon();
            arms.push_back(MatchArm{std::move(pattern), std::move(body)});
        }
        return std::make_unique<MatchStmt>(std::move(scrutinee), std::move(arms));
    }

    StmtPtr try_statement() {
        size_t start = pos_;
        advance();
        consume_if(TK::LBrace);
        Block body = block_body();
        consume_if(TK::RBrace);
        if (!consume_if(TK::Catch)) return broken(start);
        if (!at(TK::Identifier)) return broken(start);
        std::string var = current().text;
        advance();
        auto handler = braced_block();
        if (!handler) return broken(start);
        return std::make_unique<TryStmt>(std::move(body), std::move(var), std::move(*handler));
    }

    StmtPtr use_statement() {
        size_t start = pos_;
        advance();
        if (!at(TK::Identifier)) return broken(start);
        std::string module = current().text;
        advance();
        // An installed module is written author.module.
        if (at(TK::Dot) && ahead(1).kind == TK::Identifier) {
            module += '.';
            module += ahead(1).text;
            pos_ += 2;
        }
        std::optional<std::string> alias;
        std::optional<std::vector<std::string>> items;
        size_t open = pos_;
        if (consume_if(TK::LBrace)) {
            std::vector<std::string> names;
            while (!at(TK::RBrace) && !at(TK::EOF_)) {
                if (at(TK::Identifier)) {
                    names.push_back(current().text);
                    advance();
                    consume_if(TK::Comma);
                } else {
                    skip(ParseFinding::SkippedUseItem); // anything but a name or comma
                }
            }
            close(TK::RBrace, open);
            skip_semicolon();
            items = std::move(names);
        } else if (consume_if(TK::Semicolon)) {
        } else if (consume_if(TK::As)) {
            if (at(TK::Identifier)) {
                alias = current().text;
                advance();
            }
            skip_semicolon();
        }
        return std::make_unique<UseStmt>(std::move(module), std::move(alias), std::move(items));
    }

    // ---- expressions ----
    ExprPtr expression() {
        DepthGuard guard(*this);
        return climb(kOr);
    }

    // Precedence climbing: operators of min_level or tighter are taken here;
    // each right operand is parsed one level tighter, so chains group left.
    ExprPtr climb(int min_level) {
        ExprPtr left = unary();
        int left_level = kAtom; // loosest operator at the top of left
        while (true) {
            if (at(TK::Dot) && ahead(1).kind == TK::Dot) {
                // start..end: only after a term-level start, once.
                if (min_level > kRange || left_level < kTerm) break;
                pos_ += 2;
                ExprPtr end = climb(kTerm);
                left = std::make_unique<RangeExpr>(std::move(left), std::move(end));
                left_level = kRange;
                continue;
            }
            int level = binary_level(current().kind);
            if (level < min_level) break;
            TK op = current().kind;
            size_t op_token = pos_;
            advance();
            ExprPtr right = climb(level + 1);
            left = std::make_unique<BinaryOpExpr>(std::move(left), op, std::move(right));
            mark(left.get(), op_token);
            left_level = level;
        }
        return left;
    }

    ExprPtr unary() {
        if (at(TK::Not) || at(TK::Minus)) {
            DepthGuard guard(*this);
            TK op = current().kind;
            advance();
            ExprPtr operand = unary();
            return std::make_unique<UnaryOpExpr>(op, std::move(operand));
        }
        size_t first = pos_;
        return postfix(primary(), first);
    }

    // Elements of an array literal or arguments of a call, up to the closing
    // bracket. An empty position before a comma is the number 0, like any
    // missing operand; any other token that starts nothing is dropped.
    std::vector<ExprPtr> element_list() {
        std::vector<ExprPtr> out;
        while (!at(TK::RParen) && !at(TK::RBrace) && !at(TK::RBracket) && !at(TK::EOF_)) {
            size_t before = pos_;
            ExprPtr e = expression();
            if (pos_ == before && !at(TK::Comma)) {
                skip(ParseFinding::SkippedInList);
                continue;
            }
            out.push_back(std::move(e));
            consume_if(TK::Comma);
        }
        return out;
    }

    ExprPtr primary() {
        const Token& t = current();
        switch (t.kind) {
        case TK::Number: {
            auto e = std::make_unique<NumberExpr>(t.integer);
            advance();
            return e;
        }
        case TK::Float: {
            auto e = std::make_unique<FloatExpr>(t.real);
            advance();
            return e;
        }
        case TK::String: {
            auto e = std::make_unique<StringExpr>(t.text);
            advance();
            return e;
        }
        case TK::True:
        case TK::False: {
            auto e = std::make_unique<BooleanExpr>(t.kind == TK::True);
            advance();
            return e;
        }
        case TK::Identifier: {
            auto e = std::make_unique<IdentifierExpr>(t.text);
            mark(e.get(), pos_);
            advance();
            return e;
        }
        case TK::LParen: {
            size_t open = pos_;
            advance();
            ExprPtr inner = expression();
            close(TK::RParen, open);
            return inner;
        }
        case TK::LBracket: {
            DepthGuard guard(*this);
            size_t open = pos_;
            advance();
            std::vector<ExprPtr> elements = element_list();
            close(TK::RBracket, open);
            return std::make_unique<ArrayExpr>(std::move(elements));
        }
        case TK::LBrace: return dict_literal();
        default: return std::make_unique<NumberExpr>(0);
        }
    }

    ExprPtr dict_literal() {
        DepthGuard guard(*this);
        size_t open = pos_;
        advance();
        std::vector<std::pair<std::string, ExprPtr>> entries;
        while (true) {
            if (at(TK::RBrace) || at(TK::EOF_)) {
                close(TK::RBrace, open);
                break;
            }
            if (!at(TK::Identifier)) {
                skip(ParseFinding::SkippedDictKey); // only bare names are keys
                continue;
            }
            size_t key_token = pos_;
            std::string key = current().text;
            advance();
            if (consume_if(TK::Colon)) {
                ExprPtr value = expression();
                entries.emplace_back(std::move(key), std::move(value));
                consume_if(TK::Comma);
            } else {
                note(ParseFinding::DictMissingColon, key_token);
            }
        }
        return std::make_unique<DictExpr>(std::move(entries));
    }

    ExprPtr postfix(ExprPtr expr, size_t first) {
        int links = 0;
        while (true) {
            if (at(TK::Dot)) {
                TK next = ahead(1).kind;
                if (next == TK::Dot) break;
                chain_link(links);
                if (next == TK::Identifier) {
                    auto name = std::make_unique<StringExpr>(ahead(1).text);
                    pos_ += 2;
                    expr = std::make_unique<IndexExpr>(std::move(expr), std::move(name));
                } else {
                    advance();
                }
            } else if (at(TK::LBracket)) {
                chain_link(links);
                size_t open = pos_;
                advance();
                ExprPtr index = expression();
                close(TK::RBracket, open);
                expr = std::make_unique<IndexExpr>(std::move(expr), std::move(index));
            } else if (at(TK::LParen)) {
                chain_link(links);
                size_t open = pos_;
                advance();
                std::vector<ExprPtr> args = element_list();
                close(TK::RParen, open);
                expr = make_call(std::move(expr), std::move(args));
                mark(expr.get(), first);
            } else {
                break;
            }
        }
        return expr;
    }

    static ExprPtr make_call(ExprPtr callee, std::vector<ExprPtr> args) {
        if (callee->kind == ExprKind::Identifier) {
            return std::make_unique<CallExpr>(static_cast<IdentifierExpr&>(*callee).name,
                                              std::move(args));
        }
        if (callee->kind == ExprKind::Index) {
            auto& index = static_cast<IndexExpr&>(*callee);
            if (index.index->kind == ExprKind::String) {
                std::string member = static_cast<StringExpr&>(*index.index).value;
                if (index.object->kind == ExprKind::Identifier) {
                    return std::make_unique<CallExpr>(
                        static_cast<IdentifierExpr&>(*index.object).name + "." + member,
                        std::move(args));
                }
                args.insert(args.begin(), std::move(index.object));
                return std::make_unique<CallExpr>(std::move(member), std::move(args));
            }
        }
        args.insert(args.begin(), std::move(callee));
        return std::make_unique<CallExpr>("call", std::move(args));
    }

    const TokenList& tokens_;
    ParseNotes* notes_;
    size_t pos_ = 0;
    int depth_ = 0;
    bool too_deep_ = false;
    const Token eof_{};
};

} // namespace

std::string nesting_refusal_message() {
    return "Source nested too deeply (more than " + std::to_string(kMaxNestingDepth) + " levels)";
}

bool is_skipped_token(ParseFinding finding) {
    return finding <= ParseFinding::SkippedUseItem;
}

ParseResult parse_program(const TokenList& tokens, ParseNotes* notes) {
    ParseResult result;
    Parser parser(tokens, notes);
    result.program = parser.program();
    if (parser.too_deep()) {
        result.program.clear();
        result.refusal = nesting_refusal_message();
    }
    return result;
}

} // namespace drevel
