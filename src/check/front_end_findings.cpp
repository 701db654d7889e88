#include "check/front_end_findings.h"

#include <algorithm>

namespace drevel {

namespace {

using TK = TokenKind;

// Source text for a message: on one line and short.
std::string excerpt(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == '\t') {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
        }
    }
    if (out.size() > 40) out = out.substr(0, 37) + "...";
    return out;
}

std::string quoted(std::string_view source_text) {
    std::string text = excerpt(source_text);
    if (text.find('\'') != std::string::npos) return "\"" + text + "\"";
    return "'" + text + "'";
}

std::string dropped_hint(std::string_view text) {
    if (text.find('&') != std::string_view::npos) return ": write 'and' instead";
    if (text.find('|') != std::string_view::npos) return ": write 'or' instead";
    if (text.find('\'') != std::string_view::npos) return ": strings go between double quotes";
    return "";
}

// The form each statement keyword expects, for a statement that broke off.
std::string statement_form(TK start) {
    switch (start) {
    case TK::Let: return "this let statement is skipped: write let NAME = VALUE";
    case TK::Def: return "this function definition is skipped: write def NAME(PARAMS) { BODY }";
    case TK::If:
        return "this if statement is skipped: '{' must follow the condition (a block after it "
               "is read as a dict and does not run)";
    case TK::While:
        return "this while loop is skipped: '{' must follow the condition (a block after it is "
               "read as a dict and does not run)";
    case TK::For: return "this for loop is malformed: write for NAME in VALUE { BODY }";
    case TK::Match: return "this match statement is skipped: '{' must follow the value";
    case TK::Try: return "this try statement is skipped: write try { BODY } catch NAME { BODY }";
    case TK::Global: return "this global statement is skipped: write global NAME";
    case TK::Use: return "this use statement is skipped: write use NAME";
    default: return "this statement is skipped";
    }
}

std::string_view closer_of(TK open) {
    return open == TK::LParen ? ")" : open == TK::LBracket ? "]" : "}";
}

// When if, while, for or match break off before their "{", the block that
// follows is read as a dict literal: its complaints about dict entries are
// consequences of the one broken statement and are left out.
std::vector<ParseNote> without_consequences(const TokenList& tokens, std::vector<ParseNote> notes) {
    std::vector<std::pair<uint32_t, uint32_t>> blocks; // token ranges of misread blocks
    for (const ParseNote& note : notes) {
        if (note.finding != ParseFinding::BrokenStatement) continue;
        TokenKind start = tokens[note.start].kind;
        if (start != TokenKind::If && start != TokenKind::While && start != TokenKind::For &&
            start != TokenKind::Match)
            continue;
        uint32_t open = note.token;
        while (open < tokens.size() && tokens[open].kind != TokenKind::LBrace &&
               tokens[open].kind != TokenKind::RBrace && tokens[open].kind != TokenKind::Semicolon)
            ++open;
        if (open >= tokens.size() || tokens[open].kind != TokenKind::LBrace) continue;
        uint32_t close = open;
        for (int depth = 0; close < tokens.size(); ++close) {
            if (tokens[close].kind == TokenKind::LBrace) ++depth;
            if (tokens[close].kind == TokenKind::RBrace && --depth == 0) break;
        }
        blocks.emplace_back(open, close);
    }
    std::erase_if(notes, [&](const ParseNote& note) {
        bool about_dicts = note.finding == ParseFinding::DictMissingColon ||
                           note.finding == ParseFinding::SkippedDictKey ||
                           note.finding == ParseFinding::Unclosed;
        return about_dicts && std::any_of(blocks.begin(), blocks.end(), [&](auto range) {
                   return note.token >= range.first && note.token <= range.second;
               });
    });
    return notes;
}

} // namespace

void add_dropped_character_findings(std::string_view source, const SourceMap& map,
                                    std::vector<Finding>& out) {
    for (const SourceMap::Dropped& d : map.dropped) {
        std::string_view text = source.substr(d.offset, d.length);
        out.push_back({d.offset, quoted(text) + " is not part of the language and is ignored" +
                                     dropped_hint(text)});
    }
}

Finding parse_note_finding(std::string_view source, const TokenList& tokens, const SourceMap& map,
                           const ParseNote& note) {
    uint32_t offset = map.token_offsets[note.token];
    std::string text = quoted(token_text(source, map, note.token, note.token + note.length - 1));
    const Token& token = tokens[note.token];
    switch (note.finding) {
    case ParseFinding::SkippedStatementStart:
        if (token.kind == TK::RParen || token.kind == TK::RBracket || token.kind == TK::RBrace)
            return {offset, text + " closes nothing and is skipped"};
        return {offset, text + " does not start a statement and is skipped"};
    case ParseFinding::ElementAssignment:
        return {offset, "an element or member cannot be assigned, so " + text +
                            " is skipped and nothing is assigned; no element can be changed in "
                            "place: build a new array (push) or a new dict instead"};
    case ParseFinding::SkippedInList:
        return {offset, text + " cannot be an element or argument and is skipped"};
    case ParseFinding::SkippedDictKey:
        return {offset, "dict keys are bare names: " + text + " is skipped; write NAME: VALUE"};
    case ParseFinding::MatchArmComma:
        return {offset, "',' does not separate match arms and is skipped: write ';' or start "
                        "each arm on its own line"};
    case ParseFinding::SkippedInMatch:
        return {offset, text + " is not a match arm and is skipped: write PATTERN => RESULT"};
    case ParseFinding::SkippedUseItem:
        return {offset, text + " is skipped: a use list holds names only, as in use m { f, g }"};
    case ParseFinding::DictMissingColon:
        return {offset, "dict entry " + quoted(token.text) + " has no ':' and is dropped: write " +
                            token.text + ": VALUE"};
    case ParseFinding::Unclosed:
        return {offset, quoted(token_text(source, map, note.token, note.token)) +
                            " is never closed: add " + quoted(closer_of(token.kind))};
    case ParseFinding::BrokenStatement:
        return {map.token_offsets[note.start], statement_form(tokens[note.start].kind)};
    case ParseFinding::ElseWithoutBlock:
        if (note.token + 1 < tokens.size() && tokens[note.token + 1].kind == TK::If)
            return {offset, "'else if' does not chain: the second if runs on its own whatever "
                            "the first condition gave; write else { if CONDITION { BODY } }"};
        return {offset, "'else' must be followed by '{': write else { BODY }"};
    case ParseFinding::ArmWithoutArrow:
        return {offset, "this match arm has no '=>' and is dropped: write PATTERN => RESULT"};
    }
    return {offset, text};
}

std::vector<Finding> front_end_findings(std::string_view source, const TokenList& tokens,
                                        const SourceMap& map, const ParseNotes& notes) {
    std::vector<Finding> findings;
    add_dropped_character_findings(source, map, findings);
    for (const ParseNote& note : without_consequences(tokens, notes.notes))
        findings.push_back(parse_note_finding(source, tokens, map, note));
    sort_findings(findings);
    return findings;
}

} // namespace drevel
