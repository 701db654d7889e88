// The registry drives these checks: every module function answers both as
// m.f() and when imported with `use m { f }`, names are unique, and the
// guides list exactly the registered functions with the argument counts
// their rows say.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "interpreter/interpreter.h"
#include "lexer/lexer.h"
#include "native_call.h"
#include "parser/parser.h"

namespace drevel {
namespace {

// Runs the program in a fresh interpreter and gives the values of a and b.
std::pair<Value, Value> run_for_a_and_b(const std::string& source) {
    ParseResult parsed = parse_program(tokenize(source));
    EXPECT_FALSE(parsed.refusal) << source;
    Interpreter interpreter;
    interpreter.resolve(parsed.program);
    for (const StmtPtr& stmt : parsed.program)
        interpreter.execute_statement(*stmt);
    return {interpreter.get_variable("a"), interpreter.get_variable("b")};
}

bool is_missing_function(const Value& v) {
    if (!v.is_error()) return false;
    std::string_view text = v.text();
    return text.find("no function") != std::string::npos ||
           text.find("does not exist") != std::string::npos ||
           text.find("does not export") != std::string::npos ||
           text.find("not imported") != std::string::npos;
}

TEST(Registry, EveryModuleFunctionAnswersQualifiedAndImported) {
    ASSERT_FALSE(native_modules().empty());
    for (const NativeModule* module : native_modules()) {
        for (const BuiltinEntry& f : module->functions) {
            const std::string m(module->name), name(f.name);
            SCOPED_TRACE(m + "." + name);
            // Without arguments nothing is done: a function that needs some
            // answers with its count message, so both calls provably reached
            // this row; the others only read state or do nothing without a
            // window.
            auto [a, b] = run_for_a_and_b("use " + m + "\nlet a = " + m + "." + name + "()\nuse " +
                                          m + " { " + name + " }\nlet b = " + name + "()\n");
            // A plain builtin of the same name (std.slice and slice) is found
            // first, as it is before any function of the script's own.
            if (find_builtin(name)) b = a;
            EXPECT_FALSE(is_missing_function(a)) << a.text();
            EXPECT_FALSE(is_missing_function(b)) << b.text();
            EXPECT_EQ(a.kind(), b.kind());
            if (f.arity.required > 0) {
                ASSERT_TRUE(a.is_error());
                ASSERT_TRUE(b.is_error());
                EXPECT_EQ(a.text(), f.arity.message);
                EXPECT_EQ(b.text(), f.arity.message);
            }
        }
    }
}

TEST(Registry, NamesAreUniqueAndFound) {
    std::set<std::string_view> plain, modules;
    for (const BuiltinEntry& f : core_builtins()) {
        EXPECT_TRUE(plain.insert(f.name).second) << f.name;
        EXPECT_EQ(find_builtin(f.name), &f);
    }
    for (const NativeModule* module : native_modules()) {
        EXPECT_TRUE(modules.insert(module->name).second) << module->name;
        EXPECT_EQ(find_native_module(module->name), module);
        EXPECT_EQ(find_builtin(module->name), nullptr) << module->name;
        for (const BuiltinEntry& f : module->builtins) {
            EXPECT_TRUE(plain.insert(f.name).second) << f.name;
            EXPECT_EQ(find_builtin(f.name), &f);
        }
        std::set<std::string_view> functions;
        for (const BuiltinEntry& f : module->functions) {
            EXPECT_TRUE(functions.insert(f.name).second) << module->name << "." << f.name;
            // A required count comes with the message that reports it.
            EXPECT_EQ(f.arity.required > 0, f.arity.message != nullptr) << f.name;
            std::string qualified = std::string(module->name) + "." + std::string(f.name);
            ModuleFunction found = find_module_function(qualified);
            EXPECT_EQ(found.module, module) << qualified;
            EXPECT_EQ(found.entry, &f) << qualified;
        }
    }
    for (const char* missing : {"files", "files.", "sdl2.window", "print", ".read", "files.read "})
        EXPECT_EQ(find_module_function(missing).entry, nullptr) << missing;
}

// Module state: one object per type and context, made on first use and
// destroyed with its context.
struct Counted {
    static inline int alive = 0;
    int value = 0;
    Counted() { ++alive; }
    ~Counted() { --alive; }
};
struct Other {
    int value = 7;
};

TEST(NativeContext, OneStatePerTypeAndContext) {
    {
        NativeContext first, second;
        EXPECT_EQ(Counted::alive, 0);
        first.state<Counted>().value = 5;
        EXPECT_EQ(Counted::alive, 1);
        EXPECT_EQ(first.state<Counted>().value, 5);
        EXPECT_EQ(&first.state<Counted>(), &first.state<Counted>());
        EXPECT_EQ(first.state<Other>().value, 7);
        EXPECT_EQ(second.state<Counted>().value, 0);
        EXPECT_EQ(Counted::alive, 2);
        EXPECT_NE(&first.state<Counted>(), &second.state<Counted>());
    }
    EXPECT_EQ(Counted::alive, 0);
}

std::string read_file(const std::string& path) {
    std::ifstream in(std::string(DREVEL_SOURCE_DIR) + "/" + path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_FALSE(text.str().empty()) << path;
    return text.str();
}

std::string read_doc(const std::string& name) {
    return read_file("docs/" + name);
}

// The names a guide's tables show as calls in their first column: every
// `name(` of a line that starts with "| `".
std::set<std::string> documented_calls(const std::string& text, const std::regex& call) {
    std::set<std::string> names;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("| `")) continue;
        std::string first = line.substr(0, line.find(" | "));
        for (std::sregex_iterator it(first.begin(), first.end(), call), end; it != end; ++it)
            names.insert((*it)[1]);
    }
    return names;
}

TEST(Registry, GuidesListExactlyTheRegisteredFunctions) {
    std::set<std::string> registered_qualified, registered_plain;
    for (const BuiltinEntry& f : core_builtins())
        registered_plain.emplace(f.name);
    for (const NativeModule* module : native_modules()) {
        for (const BuiltinEntry& f : module->builtins)
            registered_plain.emplace(f.name);
        for (const BuiltinEntry& f : module->functions)
            registered_qualified.insert(std::string(module->name) + "." + std::string(f.name));
    }
    EXPECT_EQ(documented_calls(read_doc("modules.md"), std::regex(R"(`([a-z0-9_]+\.[a-z_]+)\()")),
              registered_qualified);

    // The builtins' sections of the language guide, up to the next chapter.
    std::string language = read_doc("language.md");
    std::string sections;
    for (const char* heading : {"\n## Builtin functions\n", "\n## Graphics builtins\n"}) {
        size_t from = language.find(heading);
        ASSERT_NE(from, std::string::npos) << heading;
        size_t to = language.find("\n## ", from + 1);
        sections += language.substr(from, to - from);
    }
    EXPECT_EQ(documented_calls(sections, std::regex(R"(`([a-z_]+)\()")), registered_plain);
}

// The words of the alternation that follows the first marker in the text:
// from open up to close, cut at every separator.
std::set<std::string> alternatives(const std::string& text, const std::string& marker,
                                   const std::string& open, const std::string& separator,
                                   const std::string& close) {
    size_t at = text.find(marker);
    EXPECT_NE(at, std::string::npos) << marker;
    if (at == std::string::npos) return {};
    size_t from = text.find(open, at + marker.size()) + open.size();
    std::string list = text.substr(from, text.find(close, from) - from);
    std::set<std::string> words;
    for (size_t start = 0;;) {
        size_t end = list.find(separator, start);
        words.insert(list.substr(start, end - start));
        if (end == std::string::npos) return words;
        start = end + separator.size();
    }
}

// The editor files highlight exactly the registered plain builtins, the
// installed native modules' prefixes and each module's functions, so a new
// row or module shows up here until the editors list it too.
TEST(Registry, EditorsHighlightExactlyTheRegisteredNames) {
    std::set<std::string> plain, modules;
    for (const BuiltinEntry& f : core_builtins())
        plain.emplace(f.name);
    for (const NativeModule* module : native_modules()) {
        modules.emplace(module->name);
        for (const BuiltinEntry& f : module->builtins)
            plain.emplace(f.name);
    }

    std::string vim = read_file("editors/vim/syntax/drevel.vim");
    std::set<std::string> vim_builtins;
    std::istringstream lines(vim);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string syn, keyword, group, word;
        words >> syn >> keyword >> group;
        if (syn != "syn" || keyword != "keyword" || group != "drevelBuiltin") continue;
        while (words >> word)
            vim_builtins.insert(word);
    }
    EXPECT_EQ(vim_builtins, plain);
    EXPECT_EQ(alternatives(vim, "syn match drevelModule ", "\\(", "\\|", "\\)"), modules);

    std::string textmate = read_file("editors/drevel.tmLanguage.json");
    EXPECT_EQ(alternatives(textmate, "support.function.builtin", "(", "|", ")"), plain);
    EXPECT_EQ(alternatives(textmate, "support.class.module", "(", "|", ")"), modules);

    // One line per module in each file: its functions after its prefix.
    size_t vim_lines = 0, textmate_rules = 0;
    for (size_t at = vim.find("syn match drevelModuleFunction"); at != std::string::npos;
         at = vim.find("syn match drevelModuleFunction", at + 1))
        ++vim_lines;
    for (size_t at = textmate.find("support.function.module"); at != std::string::npos;
         at = textmate.find("support.function.module", at + 1))
        ++textmate_rules;
    EXPECT_EQ(vim_lines, modules.size());
    EXPECT_EQ(textmate_rules, modules.size());
    for (const NativeModule* module : native_modules()) {
        const std::string name(module->name);
        SCOPED_TRACE(name);
        std::set<std::string> functions;
        for (const BuiltinEntry& f : module->functions)
            functions.emplace(f.name);
        EXPECT_EQ(alternatives(vim, "\\(\\<" + name + "\\.\\)\\@<=", "\\(", "\\|", "\\)"),
                  functions);
        EXPECT_EQ(alternatives(textmate, "(?<=\\\\b" + name + "\\\\.)", "(", "|", ")"), functions);
    }
}

} // namespace
} // namespace drevel

namespace drevel {
namespace {

// The argument counts the guides' tables write each call with: `f(a, b)` is
// two, `f(a, ...)` one or more; `g(...)` after another form in the same cell
// takes that form's counts.
std::map<std::string, ArgumentCounts> documented_counts(const std::string& text,
                                                        const std::regex& call) {
    std::map<std::string, ArgumentCounts> counts;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("| `")) continue;
        std::string first = line.substr(0, line.find(" | "));
        ArgumentCounts form{0, 0};
        for (std::sregex_iterator it(first.begin(), first.end(), call), end; it != end; ++it) {
            std::string params = (*it)[2];
            size_t written = params.empty() ? 0 : 1 + std::count(params.begin(), params.end(), ',');
            bool open = params.ends_with("...");
            if (params != "...") form = {open ? written - 1 : written, open ? SIZE_MAX : written};
            auto [known, fresh] = counts.emplace((*it)[1], form);
            if (!fresh) {
                known->second.least = std::min(known->second.least, form.least);
                known->second.most = std::max(known->second.most, form.most);
            }
        }
    }
    return counts;
}

// `drevel check` holds calls to the rows' counts, so each row must say the
// counts its function is documented with.
TEST(Registry, RowsTakeTheArgumentCountsTheGuidesWrite) {
    std::map<std::string, const BuiltinEntry*> rows;
    for (const BuiltinEntry& f : core_builtins())
        rows[std::string(f.name)] = &f;
    for (const NativeModule* module : native_modules()) {
        for (const BuiltinEntry& f : module->builtins)
            rows[std::string(f.name)] = &f;
        for (const BuiltinEntry& f : module->functions)
            rows[std::string(module->name) + "." + std::string(f.name)] = &f;
    }
    std::string language = read_doc("language.md");
    std::string sections;
    for (const char* heading : {"\n## Builtin functions\n", "\n## Graphics builtins\n"}) {
        size_t from = language.find(heading);
        ASSERT_NE(from, std::string::npos) << heading;
        sections += language.substr(from, language.find("\n## ", from + 1) - from);
    }
    auto documented = documented_counts(sections, std::regex(R"(`([a-z_]+)\(([^)`]*)\)`)"));
    auto modules = documented_counts(read_doc("modules.md"),
                                     std::regex(R"(`([a-z0-9_]+\.[a-z_]+)\(([^)`]*)\)`)"));
    documented.insert(modules.begin(), modules.end());
    for (const auto& [name, row] : rows)
        EXPECT_TRUE(documented.count(name)) << name << " is documented with no argument list";
    for (const auto& [name, counts] : documented) {
        ASSERT_TRUE(rows.count(name)) << name;
        std::optional<ArgumentCounts> written = written_counts(rows[name]->arity);
        ASSERT_TRUE(written) << name << " says no argument counts";
        EXPECT_EQ(written->least, counts.least) << name;
        EXPECT_EQ(written->most, counts.most) << name;
    }
}

} // namespace
} // namespace drevel
