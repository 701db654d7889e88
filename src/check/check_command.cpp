#include "check/check_command.h"

#include "check/front_end_findings.h"
#include "check/program_analysis.h"
#include "check/traps.h"
#include "interpreter/output.h"
#include "platform/source_file.h"

namespace drevel {

namespace {

// Every finding of one source, in source order.
std::vector<Finding> check_source(const std::string& source) {
    SourceMap map;
    TokenList tokens = tokenize(source, &map);
    ParseNotes notes;
    notes.record_nodes = true;
    ParseResult parsed = parse_program(tokens, &notes);
    if (parsed.refusal) return {{0, *parsed.refusal}};
    std::vector<Finding> findings = front_end_findings(source, tokens, map, notes);
    add_program_findings(parsed.program, notes, map, findings);
    add_trap_findings(source, tokens, map, parsed.program, notes, findings);
    for (const auto& line : foreign_comment_lines(source, tokens, map)) {
        std::erase_if(findings, [&](const Finding& f) {
            return f.offset > line.first && f.offset <= line.second;
        });
    }
    sort_findings(findings);
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
