// The recursive-descent parser: token list to statements. It has no errors:
// a statement that does not fit its form is skipped, closing brackets are
// taken when present, and a token that cannot start an expression stands for
// the number 0. Every loop advances, so any input terminates.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "lexer/token.h"
#include "parser/ast.h"

namespace drevel {

// How deeply brackets, blocks, calls, prefix operators and member chains may
// nest; deeper source is refused as a whole. A chain of binary operators
// (a + b + c ...) is not nesting and may be of any length.
inline constexpr int kMaxNestingDepth = 4000;

struct ParseResult {
    Block program;
    // Set when the source nests deeper than the limit; the program is then empty.
    std::optional<std::string> refusal;
};

// What the lenient parser dropped or tolerated, by token index. Recording it
// changes nothing about the tree that is built.
enum class ParseFinding : uint8_t {
    // Tokens skipped so that a loop keeps moving (one note per run of
    // adjacent tokens skipped by the same loop).
    SkippedStatementStart, // a token that starts no statement
    ElementAssignment,     // "=" or "op=" after an element or member: xs[0] = v
    SkippedInList,         // array elements, call arguments
    SkippedDictKey,        // a dict entry that does not start with a name
    MatchArmComma,         // match arms separated by ","
    SkippedInMatch,        // anything else between match arms
    SkippedUseItem,        // a use list holding something other than names
    // Forms the parser tolerates or abandons.
    DictMissingColon, // a dict key without ":" (the key is dropped)
    Unclosed,         // the bracket at `token` is never closed
    BrokenStatement,  // the statement starting at `start` breaks off at `token`
    ElseWithoutBlock, // else not followed by "{"
    ArmWithoutArrow,  // a match pattern without "=>" (the pattern is dropped)
};

struct ParseNote {
    ParseFinding finding;
    uint32_t token;      // where it happened (for Unclosed: the opening bracket)
    uint32_t start = 0;  // the statement's first token (BrokenStatement)
    uint32_t length = 1; // tokens in a skipped run
};

// True for the findings that are tokens skipped to keep the parser moving.
bool is_skipped_token(ParseFinding finding);

struct ParseNotes {
    std::vector<ParseNote> notes;
    bool record_nodes = false; // fill node_tokens too
    // The first token of every statement, identifier and call node built,
    // and the operator token of every binary operation.
    std::unordered_map<const void*, uint32_t> node_tokens;
};

ParseResult parse_program(const TokenList& tokens, ParseNotes* notes = nullptr);

// The message a refused source is reported with.
std::string nesting_refusal_message();

} // namespace drevel
