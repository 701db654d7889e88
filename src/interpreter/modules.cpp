// The use statement and the loading of modules: the native modules by their
// registry tables, script modules from the working directory or from
// .drevel/modules, each run once per importing interpreter.
#include <climits>
#include <cstdlib>
#include <set>

#include "interpreter/builtins/registry.h"
#include "interpreter/interpreter.h"
#include "interpreter/log.h"
#include "interpreter/module_paths.h"
#include "lexer/lexer.h"
#include "parser/parser.h"
#include "platform/source_file.h"

namespace drevel {

namespace {

// The files of the script modules being loaded right now, by every
// interpreter of the process. A module reached again while it loads (a uses
// b, b uses a; or a module that uses itself) would otherwise load itself
// without end.
std::set<std::string>& modules_loading() {
    static std::set<std::string> files;
    return files;
}

// Marks a module file as loading for as long as it lives.
class LoadingMark {
  public:
    explicit LoadingMark(const std::string& path) : it_(modules_loading().insert(path).first) {}
    ~LoadingMark() { modules_loading().erase(it_); }
    LoadingMark(const LoadingMark&) = delete;
    LoadingMark& operator=(const LoadingMark&) = delete;

  private:
    std::set<std::string>::iterator it_;
};

// One name per file, however the path that reached it was spelt.
std::string file_identity(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

} // namespace

Exports Interpreter::import_module(const std::string& name) {
    if (auto cached = module_cache_.find(name); cached != module_cache_.end())
        return cached->second;
    if (const NativeModule* native = find_native_module(name)) {
        auto exports = std::make_shared<ExportMap>();
        for (const BuiltinEntry& f : native->functions) {
            exports->emplace(std::string(f.name),
                             Value::builtin_function(name + "." + std::string(f.name)));
        }
        return exports;
    }

    std::optional<std::string> source;
    std::string file;
    for (const std::string& path : module_paths(name)) {
        std::string error;
        source = read_text_file(path, error);
        if (source) {
            file = file_identity(path);
            break;
        }
    }
    if (!source) {
        report_error("Failed to load module '" + name + "': " + name +
                     ".dv not found in current directory or .drevel/modules/");
        return nullptr;
    }
    if (modules_loading().contains(file)) {
        report_error("Circular import of module '" + name + "'");
        return nullptr;
    }
    LoadingMark loading(file);
    TokenList tokens = tokenize(*source);
    ParseResult parsed = parse_program(tokens);
    if (parsed.refusal) {
        report_error("Failed to load module '" + name + "': " + *parsed.refusal);
        return nullptr;
    }

    auto module = std::make_unique<Interpreter>();
    if (extra_debug) debug_log("Parsed " + std::to_string(parsed.program.size()) + " statements");
    module->resolve(parsed.program);
    for (const StmtPtr& stmt : parsed.program)
        module->run_top_level(*stmt);
    auto exports = std::make_shared<ExportMap>(module->globals());
    if (extra_debug) {
        for (const auto& [export_name, value] : *exports) {
            debug_log("Exporting: " + export_name + " = " +
                      (value.kind() == ValueKind::Function ? "\"Function\"" : "\"Other\""));
        }
        debug_log("Module " + name + " has " + std::to_string(exports->size()) + " exports");
    }
    module_cache_[name] = exports;
    return exports;
}

void Interpreter::execute_use(const UseStmt& stmt) {
    Exports exports = import_module(stmt.module);
    ensure_slots(); // the module's source may have brought new names
    if (!exports) {
        report_error("Failed to import module '" + stmt.module + "'");
        return;
    }
    if (stmt.items) {
        for (const std::string& item : *stmt.items) {
            auto it = exports->find(item);
            if (it == exports->end()) {
                report_error("Module '" + stmt.module + "' does not export '" + item + "'");
                continue;
            }
            Slot& s = slot(intern(item));
            s.global = it->second;
            s.has_global = true;
        }
        return;
    }
    if (stmt.alias) {
        modules_[*stmt.alias] = exports;
        return;
    }
    // author.module is bound under its second name.
    size_t dot = stmt.module.find('.');
    modules_[dot == std::string::npos ? stmt.module : stmt.module.substr(dot + 1)] = exports;
}

} // namespace drevel
