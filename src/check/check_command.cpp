#include "check/check_command.h"

#include <algorithm>

#include "check/front_end_findings.h"
#include "check/program_analysis.h"
#include "interpreter/output.h"
#include "platform/source_file.h"

namespace drevel {

namespace {

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

// Every finding of one source, in source order.
std::vector<Finding> check_source(const std::string& source) {
    std::vector<Finding> findings;
    SourceMap map;
    TokenList tokens = tokenize(source, &map);
    ParseNotes notes;
    notes.record_nodes = true;
    ParseResult parsed = parse_program(tokens, &notes);
    if (parsed.refusal) return {{0, *parsed.refusal}};
    add_dropped_character_findings(source, map, findings);
    for (const ParseNote& note : without_consequences(tokens, notes.notes))
        findings.push_back(parse_note_finding(source, tokens, map, note));
    add_program_findings(parsed.program, notes, map, findings);
    std::stable_sort(findings.begin(), findings.end(),
                     [](const Finding& a, const Finding& b) { return a.offset < b.offset; });
    return findings;
}

} // namespace

int check_files(const std::vector<std::string>& files) {
    bool found = false;
    for (const std::string& file : files) {
        if (!check_script_path(file)) {
            output::error_line(file + ": only .dv files can be checked\n");
            found = true;
            continue;
        }
        std::string error;
        std::optional<std::string> source = read_text_file(file, error);
        if (!source) {
            output::error_line(file + ": failed to read the file: " + error + "\n");
            found = true;
            continue;
        }
        LineIndex lines(*source);
        for (const Finding& finding : check_source(*source)) {
            output::write(file + ":" + lines.position(finding.offset) + ": " + finding.message +
                          "\n");
            found = true;
        }
    }
    output::flush();
    return found ? 1 : 0;
}

} // namespace drevel
