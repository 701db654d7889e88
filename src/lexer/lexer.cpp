#include "lexer/lexer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "lexer/unicode.h"

namespace drevel {

namespace {

bool is_ascii_digit(char32_t c) {
    return c >= '0' && c <= '9';
}
bool is_ascii_letter(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The symbols of the token list by their first byte, longest first, so the
// lexer spells each symbol exactly as the list does. No symbol is longer
// than two bytes, and no byte starts more than three of them.
class SymbolStarts {
  public:
    struct Row {
        uint8_t count = 0;
        Spelling longest_first[3];
    };
    SymbolStarts() {
        for (const Spelling& symbol : symbol_spellings()) {
            if (symbol.text.empty() || symbol.text.size() > 2 || uint8_t(symbol.text[0]) >= 0x80)
                throw std::logic_error("a symbol the lexer cannot spell");
            Row& row = rows_[uint8_t(symbol.text[0])];
            if (row.count == std::size(row.longest_first))
                throw std::logic_error("too many symbols share a first byte");
            row.longest_first[row.count++] = symbol;
            std::stable_sort(
                row.longest_first, row.longest_first + row.count,
                [](const Spelling& x, const Spelling& y) { return x.text.size() > y.text.size(); });
        }
    }
    const Row& operator[](char32_t first) const { return rows_[first]; }

  private:
    std::array<Row, 128> rows_;
};
const SymbolStarts kSymbolStarts;

class Lexer {
  public:
    Lexer(std::string_view source, SourceMap* map) : source_(source), map_(map) {}

    TokenList run() {
        TokenList tokens;
        tokens.reserve(source_.size() / 3 + 1);
        while (true) {
            if (at_end()) break;
            size_t start = pos_;
            char32_t c = uint8_t(source_[pos_]);
            if (c < 0x80)
                ++pos_;
            else
                c = next_code_point(source_, pos_);
            if (c < 0x80 && c != '/' && kSymbolStarts[c].count) {
                emit_symbol(tokens, start);
            } else {
                switch (c) {
                case ' ':
                case '\t':
                case '\n':
                case '\r': break;
                case '/':
                    // "/*" opens a comment; every other symbol comes from the table.
                    if (take('*'))
                        skip_block_comment();
                    else
                        emit_symbol(tokens, start);
                    break;
                case '#': skip_line_comment(); break;
                case '"': lex_string(tokens); break;
                default:
                    if (is_ascii_digit(c))
                        lex_number(tokens, start);
                    else if (is_ascii_letter(c) || c == '_')
                        lex_name(tokens, start);
                    else if (map_) // anything else is dropped and separates tokens
                        note_dropped(start);
                    break;
                }
            }
            if (map_ && tokens.size() > map_->token_offsets.size()) {
                map_->token_offsets.push_back(uint32_t(start));
                map_->token_ends.push_back(uint32_t(pos_));
            }
        }
        tokens.push_back(Token{});
        if (map_) {
            map_->token_offsets.push_back(uint32_t(source_.size()));
            map_->token_ends.push_back(uint32_t(source_.size()));
        }
        return tokens;
    }

  private:
    // The longest symbol spelled at start, whose first byte is already taken.
    void emit_symbol(TokenList& tokens, size_t start) {
        const SymbolStarts::Row& row = kSymbolStarts[uint8_t(source_[start])];
        for (uint8_t i = 0; i < row.count; ++i) {
            const Spelling& symbol = row.longest_first[i];
            if (symbol.text.size() == 1 || (!at_end() && source_[pos_] == symbol.text[1])) {
                pos_ = start + symbol.text.size();
                emit(tokens, symbol.kind);
                return;
            }
        }
    }

    void note_dropped(size_t start) {
        auto& dropped = map_->dropped;
        if (!dropped.empty() && dropped.back().offset + dropped.back().length == start) {
            dropped.back().length += uint32_t(pos_ - start);
            return;
        }
        dropped.push_back({uint32_t(start), uint32_t(pos_ - start)});
    }

    bool at_end() const { return pos_ >= source_.size(); }
    bool take(char expected) {
        if (!at_end() && source_[pos_] == expected) {
            ++pos_;
            return true;
        }
        return false;
    }
    static void emit(TokenList& tokens, TokenKind kind) {
        Token t;
        t.kind = kind;
        tokens.push_back(std::move(t));
    }

    void skip_line_comment() {
        while (!at_end()) {
            if (source_[pos_++] == '\n') return;
        }
    }

    // The star of the opening "/*" does not count towards the closing "*/".
    void skip_block_comment() {
        bool star = false;
        while (!at_end()) {
            char c = source_[pos_++];
            if (star && c == '/') return;
            star = c == '*';
        }
    }

    void lex_string(TokenList& tokens) {
        Token t;
        t.kind = TokenKind::String;
        while (!at_end()) {
            char c = source_[pos_++];
            if (c == '"') break;
            if (c != '\\') {
                t.text += c;
                continue;
            }
            if (at_end()) break; // a final backslash is dropped
            char e = source_[pos_];
            switch (e) {
            case 'n':
                t.text += '\n';
                ++pos_;
                break;
            case 't':
                t.text += '\t';
                ++pos_;
                break;
            case 'r':
                t.text += '\r';
                ++pos_;
                break;
            case '\\':
                t.text += '\\';
                ++pos_;
                break;
            case '"':
                t.text += '"';
                ++pos_;
                break;
            default: t.text += '\\'; break; // the character is copied next
            }
        }
        tokens.push_back(std::move(t));
    }

    void lex_number(TokenList& tokens, size_t start) {
        bool is_float = false;
        while (!at_end()) {
            char c = source_[pos_];
            if (c >= '0' && c <= '9') {
                ++pos_;
            } else if (c == '.' && !is_float && pos_ + 1 < source_.size() &&
                       source_[pos_ + 1] >= '0' && source_[pos_ + 1] <= '9') {
                is_float = true;
                ++pos_;
            } else {
                break;
            }
        }
        std::string digits(source_.substr(start, pos_ - start));
        Token t;
        if (is_float) {
            t.kind = TokenKind::Float;
            t.real = std::strtod(digits.c_str(), nullptr);
        } else {
            // Literals beyond the 64-bit range become the nearest double.
            errno = 0;
            char* end = nullptr;
            long long n = std::strtoll(digits.c_str(), &end, 10);
            if (errno == ERANGE) {
                t.kind = TokenKind::Float;
                t.real = std::strtod(digits.c_str(), nullptr);
            } else {
                t.kind = TokenKind::Number;
                t.integer = n;
            }
        }
        tokens.push_back(std::move(t));
    }

    void lex_name(TokenList& tokens, size_t start) {
        while (!at_end()) {
            unsigned char b = uint8_t(source_[pos_]);
            if (b < 0x80) {
                if (is_ascii_letter(b) || is_ascii_digit(b) || b == '_') {
                    ++pos_;
                    continue;
                }
                break;
            }
            size_t p = pos_;
            char32_t c = next_code_point(source_, p);
            if (!is_identifier_tail(c)) break;
            pos_ = p;
        }
        std::string_view name = source_.substr(start, pos_ - start);
        Token t;
        t.kind = TokenKind::Identifier;
        if (name.size() >= 2 && name.size() <= 8) {
            for (const Spelling& k : keyword_spellings()) {
                if (k.text == name) {
                    t.kind = k.kind;
                    break;
                }
            }
        }
        if (t.kind == TokenKind::Identifier) t.text = std::string(name);
        tokens.push_back(std::move(t));
    }

    std::string_view source_;
    SourceMap* map_;
    size_t pos_ = 0;
};

} // namespace

TokenList tokenize(std::string_view source, SourceMap* map) {
    return Lexer(source, map).run();
}

} // namespace drevel
