#include "parser/bindings.h"

#include "parser/tree_walk.h"

namespace drevel {

std::string module_binding(const UseStmt& use) {
    if (use.alias) return *use.alias;
    size_t dot = use.module.find('.');
    return dot == std::string::npos ? use.module : use.module.substr(dot + 1);
}

void add_bound_names(const Block& program, std::set<std::string>& names) {
    for (const StmtPtr& stmt : program) {
        for_each_own_binding(*stmt, [&](const std::string& name) { names.insert(name); });
        for_each_child(
            *stmt, [](const Expr&) {}, [&](const Block& inner) { add_bound_names(inner, names); },
            [&](const FunctionStmt& f) { add_bound_names(f.function->body, names); });
    }
}

} // namespace drevel
