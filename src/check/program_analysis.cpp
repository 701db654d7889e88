#include "check/program_analysis.h"

#include <algorithm>
#include <map>
#include <set>

#include "interpreter/builtins/registry.h"
#include "interpreter/module_paths.h"
#include "parser/bindings.h"
#include "parser/tree_walk.h"
#include "platform/source_file.h"

namespace drevel {

namespace {

// A script module's program, or nothing when it cannot be read.
std::optional<Block> load_module(const std::string& name) {
    for (const std::string& path : module_paths(name)) {
        std::string error;
        std::optional<std::string> source = read_text_file(path, error);
        if (!source) continue;
        ParseResult parsed = parse_program(tokenize(*source));
        return std::move(parsed.program);
    }
    return std::nullopt;
}

// The one name of `names` within two edits of `name` (fewer for short
// names), if there is exactly one nearest.
std::optional<std::string> closest_name(const std::string& name,
                                        const std::set<std::string>& names) {
    size_t allowed = name.size() <= 4 ? 1 : 2;
    std::optional<std::string> best;
    size_t best_distance = allowed + 1;
    bool tie = false;
    for (const std::string& candidate : names) {
        // Levenshtein distance, one row at a time.
        std::vector<size_t> row(candidate.size() + 1);
        for (size_t j = 0; j < row.size(); ++j)
            row[j] = j;
        for (size_t i = 1; i <= name.size(); ++i) {
            size_t diagonal = row[0];
            row[0] = i;
            for (size_t j = 1; j <= candidate.size(); ++j) {
                size_t above = row[j];
                row[j] = std::min({row[j] + 1, row[j - 1] + 1,
                                   diagonal + (name[i - 1] == candidate[j - 1] ? 0 : 1)});
                diagonal = above;
            }
        }
        size_t distance = row.back();
        if (distance < best_distance) {
            best = candidate;
            best_distance = distance;
            tie = false;
        } else if (distance == best_distance) {
            tie = true;
        }
    }
    if (tie) return std::nullopt;
    return best;
}

class Analysis {
  public:
    Analysis(const ParseNotes& notes, const SourceMap& map, std::vector<Finding>& out)
        : notes_(notes), map_(map), out_(out) {}

    void run(const Block& program) {
        add_bound_names(program, defined_);
        collect_modules(program, true);
        for (const StmtPtr& stmt : program) {
            if (stmt->kind != StmtKind::Function) continue;
            auto& f = static_cast<const FunctionStmt&>(*stmt);
            arity_[f.name] = f.function->params.size();
        }
        count_definitions(program);
        block(program);
    }

  private:
    void report(const void* node, std::string message) {
        auto it = notes_.node_tokens.find(node);
        if (it == notes_.node_tokens.end()) return;
        out_.push_back({map_.token_offsets[it->second], std::move(message)});
    }

    // Modules used anywhere, followed into the modules they use in turn.
    void collect_modules(const Block& program, bool own) {
        for_each_statement(program, [&](const Stmt& stmt) {
            if (stmt.kind != StmtKind::Use) return;
            auto& use = static_cast<const UseStmt&>(stmt);
            std::string binding = module_binding(use);
            if (const NativeModule* native = find_native_module(use.module)) {
                if (!use.items) native_[binding] = native;
                std::set<std::string> exports;
                for (const BuiltinEntry& f : native->functions)
                    exports.emplace(f.name);
                if (own) check_items(use, exports);
                if (use.items)
                    for (const std::string& item : *use.items)
                        if (const BuiltinEntry* f = module_function(*native, item))
                            imported_[item] = {use.module + "." + item, f};
                return;
            }
            auto [known, first_use] = loaded_.try_emplace(use.module);
            if (first_use) {
                if (std::optional<Block> module = load_module(use.module)) {
                    std::set<std::string> names;
                    add_bound_names(*module, names);
                    defined_.insert(names.begin(), names.end());
                    known->second = std::move(names);
                    collect_modules(*module, false);
                }
            }
            if (!use.items) script_[binding] = known->second;
            if (known->second && own) check_items(use, *known->second);
            if (!known->second && own) {
                report(&stmt, "module '" + use.module + "' cannot be found: expected " +
                                  module_paths(use.module).front() +
                                  (use.module.find('.') == std::string::npos
                                       ? " or " + module_paths(use.module).back()
                                       : std::string()));
            }
        });
    }

    void check_items(const UseStmt& use, const std::set<std::string>& exports) {
        if (!use.items) return;
        for (const std::string& item : *use.items)
            if (!exports.count(item))
                report(&use,
                       no_function(use.module, item, exports, find_native_module(use.module)));
    }

    static const BuiltinEntry* module_function(const NativeModule& module, std::string_view name) {
        for (const BuiltinEntry& f : module.functions)
            if (f.name == name) return &f;
        return nullptr;
    }

    // `functions` of a native module are its rows; those of a script module
    // every name it binds, so only a near one is suggested.
    static std::string no_function(const std::string& module, const std::string& function,
                                   const std::set<std::string>& functions, bool native) {
        std::string message = "module '" + module + "' has no function '" + function + "'";
        if (std::optional<std::string> near = closest_name(function, functions))
            return message + ": did you mean '" + *near + "'?";
        if (!native) return message;
        if (functions.size() > 8) return message + ": docs/modules.md lists what it has";
        message += ": it has ";
        for (const std::string& name : functions)
            message += (&name == &*functions.begin() ? "'" : ", '") + name + "'";
        return message;
    }

    template <class Visit> static void for_each_statement(const Block& block, Visit&& visit) {
        for (const StmtPtr& stmt : block) {
            visit(*stmt);
            for_each_nested_block(*stmt,
                                  [&](const Block& inner) { for_each_statement(inner, visit); });
        }
    }

    // The blocks a statement holds, a function's body included.
    template <class Visit> static void for_each_nested_block(const Stmt& stmt, Visit&& visit) {
        for_each_child(
            stmt, [](const Expr&) {}, visit,
            [&](const FunctionStmt& f) { visit(f.function->body); });
    }

    // A function's arity is checked only when nothing else binds its name.
    void count_definitions(const Block& program) {
        std::map<std::string, int> bindings;
        for_each_statement(program, [&](const Stmt& stmt) {
            // A module or its items are not the script's own functions.
            if (stmt.kind != StmtKind::Use)
                for_each_own_binding(stmt, [&](const std::string& name) { ++bindings[name]; });
        });
        for (auto it = arity_.begin(); it != arity_.end();) {
            bool builtin = find_builtin(it->first) != nullptr;
            if (bindings[it->first] != 1 || builtin)
                it = arity_.erase(it);
            else
                ++it;
        }
    }

    void block(const Block& statements) {
        const char* ended_by = nullptr;
        bool reported = false;
        for (const StmtPtr& stmt : statements) {
            if (ended_by && !reported) {
                report(stmt.get(), std::string("this statement comes after '") + ended_by +
                                       "' in the same block and never runs");
                reported = true;
            }
            statement(*stmt);
            if (ended_by) continue;
            if (stmt->kind == StmtKind::Return) ended_by = "return";
            if (stmt->kind == StmtKind::Break) ended_by = "break";
            if (stmt->kind == StmtKind::Continue) ended_by = "continue";
        }
    }

    void statement(const Stmt& stmt) {
        for_each_child(
            stmt, [&](const Expr& e) { expression(e); }, [&](const Block& inner) { block(inner); },
            [&](const FunctionStmt& f) { block(f.function->body); });
    }

    void expression(const Expr& root) {
        for_each_expression(root, [&](const Expr& expr) {
            if (expr.kind == ExprKind::Identifier)
                identifier(static_cast<const IdentifierExpr&>(expr));
            if (expr.kind == ExprKind::Call) call(static_cast<const CallExpr&>(expr));
            return true;
        });
    }

    void identifier(const IdentifierExpr& e) {
        if (defined_.count(e.name) || !reported_.insert(e.name).second) return;
        if (find_builtin(e.name)) {
            report(&e, "'" + e.name + "' is a builtin function and can only be called: write " +
                           e.name + "(...)");
            return;
        }
        report(&e, "'" + e.name + "' is not defined anywhere");
    }

    void call(const CallExpr& c) {
        size_t dot = c.name.find('.');
        if (dot != std::string::npos) {
            qualified_call(c, c.name.substr(0, dot), c.name.substr(dot + 1));
            return;
        }
        if (const BuiltinEntry* builtin = find_builtin(c.name)) {
            check_count(c, c.name, *builtin);
            return;
        }
        if (auto item = imported_.find(c.name); item != imported_.end()) {
            check_count(c, item->second.first, *item->second.second);
            return;
        }
        if (!defined_.count(c.name)) {
            if (c.name != "call" && reported_.insert(c.name).second)
                report(&c, "function '" + c.name + "' is not defined anywhere");
            return;
        }
        auto arity = arity_.find(c.name);
        if (arity != arity_.end() && arity->second != c.args.size()) {
            report(&c, "'" + c.name + "' takes " + count(arity->second) + " but is called with " +
                           std::to_string(c.args.size()));
        }
    }

    void qualified_call(const CallExpr& c, const std::string& module, const std::string& function) {
        if (auto native = native_.find(module); native != native_.end()) {
            if (const BuiltinEntry* f = module_function(*native->second, function)) {
                check_count(c, c.name, *f);
                return;
            }
            std::set<std::string> functions;
            for (const BuiltinEntry& f : native->second->functions)
                functions.emplace(f.name);
            report(&c, no_function(module, function, functions, true));
            return;
        }
        if (auto script = script_.find(module); script != script_.end()) {
            if (script->second && !script->second->count(function))
                report(&c, no_function(module, function, *script->second, false));
            return;
        }
        if (find_native_module(module)) {
            report(&c, "module '" + module + "' is not imported: write 'use " + module + "' first");
        } else if (defined_.count(module)) {
            report(&c, "'" + module + "' is not a module, so '" + c.name +
                           "(...)' fails: to call '" + function + "' on the value write " +
                           function + "(" + module + ", ...)");
        } else {
            report(&c, "'" + module + "' is not defined anywhere: import a module with 'use " +
                           module + "'");
        }
    }

    static std::string count(size_t n) {
        return std::to_string(n) + (n == 1 ? " argument" : " arguments");
    }

    // A call of a builtin or module function against the counts its row is
    // written with, and what the wrong count does.
    void check_count(const CallExpr& c, const std::string& name, const BuiltinEntry& f) {
        std::optional<ArgumentCounts> counts = written_counts(f.arity);
        size_t given = c.args.size();
        if (!counts || (given >= counts->least && given <= counts->most)) return;
        std::string takes;
        if (counts->most == SIZE_MAX)
            takes = "at least " + count(counts->least);
        else if (counts->least == counts->most)
            takes = count(counts->least);
        else
            takes = std::to_string(counts->least) +
                    (counts->most == counts->least + 1 ? " or " : " to ") + count(counts->most);
        std::string effect;
        if (given > counts->most)
            effect = given - counts->most == 1
                         ? "the last one is ignored: remove it"
                         : "the last " + std::to_string(given - counts->most) +
                               " are ignored: remove them";
        else if (given < f.arity.required)
            effect =
                "the call fails with '" + std::string(f.arity.message) + "': add what is missing";
        else
            effect = "it gives null: add what is missing";
        report(&c, "'" + name + "' takes " + takes + " but is called with " +
                       std::to_string(given) + ": " + effect);
    }

    const ParseNotes& notes_;
    const SourceMap& map_;
    std::vector<Finding>& out_;
    std::set<std::string> defined_;
    std::set<std::string> reported_;
    std::map<std::string, const NativeModule*> native_;
    // Script modules by the name they are bound to.
    std::map<std::string, std::optional<std::set<std::string>>> script_;
    std::map<std::string, size_t> arity_;
    // Native module functions imported by name: their qualified name and row.
    std::map<std::string, std::pair<std::string, const BuiltinEntry*>> imported_;
    // The names each script module binds, by module; nothing for one that
    // cannot be read.
    std::map<std::string, std::optional<std::set<std::string>>> loaded_;
};

} // namespace

void add_program_findings(const Block& program, const ParseNotes& notes, const SourceMap& map,
                          std::vector<Finding>& out) {
    Analysis(notes, map, out).run(program);
}

} // namespace drevel
