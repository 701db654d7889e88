#include "main/run_pipeline.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <unistd.h>

#include "check/front_end_findings.h"
#include "interpreter/interpreter.h"
#include "interpreter/log.h"
#include "interpreter/output.h"
#include "lexer/lexer.h"
#include "parser/parser.h"

namespace drevel {

namespace {

const std::string kSeparator = [] {
    std::string s;
    for (int i = 0; i < 33; ++i)
        s += "\u2500";
    return s;
}();

void driver_log(std::string_view text) {
    std::string line = "\x1b[33m[\x1b[93mDREVEL\x1b[33m]\x1b[0m ";
    line += text;
    line += '\n';
    output::error_line(line);
}

using Clock = std::chrono::steady_clock;

double milliseconds_since(Clock::time_point start) {
    auto elapsed = Clock::now() - start;
    if (elapsed.count() < 0) return 0.0;
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

std::string three_decimals(double ms) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3f", ms);
    return buffer;
}

// What the front end dropped, skipped or tolerated, as `drevel check` says
// it, once each before the program runs.
void warn_front_end_findings(std::string_view source, std::string_view file,
                             const TokenList& tokens, const SourceMap& map,
                             const ParseNotes& notes) {
    std::vector<Finding> findings = front_end_findings(source, tokens, map, notes);
    if (findings.empty()) return;
    LineIndex lines(source);
    for (const Finding& finding : findings) {
        std::string line = "\x1b[33m[\x1b[93mWARNING\x1b[33m]\x1b[0m ";
        line += file;
        line += ":" + lines.position(finding.offset) + ": " + finding.message + "\n";
        output::error_line(line);
    }
}

void fail_file(const std::string& message) {
    output::error_line(message + "\n");
    output::flush();
}

} // namespace

int run_file(const std::string& path, bool debug, bool extra) {
    if (!check_script_path(path)) {
        fail_file("Error: Only .dv files are allowed.");
        return 1;
    }
    std::string error;
    std::optional<std::string> source = read_text_file(path, error);
    if (!source) {
        fail_file("Error: Failed to read the file: " + error);
        return 1;
    }
    if (debug) driver_log("File read successfully (" + std::to_string(source->size()) + " bytes)");
    if (!run_script(*source, debug, extra, path)) return 1;
    return 0;
}

void run_program(Interpreter& interpreter, const Block& program) {
    interpreter.resolve(program);
    // First pass: globals, functions and imports, so that main sees them.
    for (const StmtPtr& stmt : program) {
        switch (stmt->kind) {
        case StmtKind::Let: {
            auto& let = static_cast<const AssignStmt&>(*stmt);
            Value value = interpreter.evaluate(*let.value);
            if (value.is_error()) {
                report_error("Error in global let statement for '" + let.name +
                             "': " + std::string(value.text()));
            }
            interpreter.set_variable(let.symbol, std::move(value));
            break;
        }
        case StmtKind::Function:
        case StmtKind::Use: interpreter.execute_statement(*stmt); break;
        default: break;
        }
    }
    Value main_function = interpreter.get_variable(intern("main"));
    if (main_function.kind() == ValueKind::Function) {
        interpreter.call_user_function(main_function, nullptr, 0);
        return;
    }
    for (const StmtPtr& stmt : program) {
        interpreter.run_top_level(*stmt);
        if (interpreter.has_return_value()) break;
    }
}

bool run_script(const std::string& source, bool debug, bool extra, std::string_view file) {
    if (debug) {
        driver_log(kSeparator);
        driver_log("Starting Drevel interpreter...");
    }
    auto start = Clock::now();
    // A script file is mapped to its source, so that what the front end
    // drops can be reported with its place.
    SourceMap map;
    TokenList tokens = tokenize(source, file.empty() ? nullptr : &map);
    double tokenize_ms = milliseconds_since(start);
    if (debug) driver_log("Tokenization completed in " + three_decimals(tokenize_ms) + "ms");

    start = Clock::now();
    ParseNotes notes;
    ParseResult parsed = parse_program(tokens, file.empty() ? nullptr : &notes);
    double parse_ms = milliseconds_since(start);
    if (parsed.refusal) {
        output::error_line("Error: " + *parsed.refusal + "\n");
        return false;
    }
    if (!file.empty()) warn_front_end_findings(source, file, tokens, map, notes);
    if (debug) {
        driver_log("Parsing completed in " + three_decimals(parse_ms) + "ms");
        driver_log("Starting execution...");
        driver_log(kSeparator);
    }

    start = Clock::now();
    {
        Interpreter interpreter;
        extra_debug = extra;
        run_program(interpreter, parsed.program);
    }
    double execute_ms = milliseconds_since(start);
    if (debug) {
        driver_log(kSeparator);
        driver_log("Tokenization : " + three_decimals(tokenize_ms) + "ms");
        driver_log("Parsing      : " + three_decimals(parse_ms) + "ms");
        driver_log("Execution    : " + three_decimals(execute_ms) + "ms");
        driver_log(kSeparator);
    }
    output::flush();
    return true;
}

} // namespace drevel
