#include "parser/bindings.h"

namespace drevel {

std::string module_binding(const UseStmt& use) {
    if (use.alias) return *use.alias;
    size_t dot = use.module.find('.');
    return dot == std::string::npos ? use.module : use.module.substr(dot + 1);
}

void add_bound_names(const Block& program, std::set<std::string>& names) {
    for (const StmtPtr& stmt : program) {
        switch (stmt->kind) {
        case StmtKind::Let:
        case StmtKind::Assign:
        case StmtKind::CompoundAssign:
            names.insert(static_cast<const AssignStmt&>(*stmt).name);
            break;
        case StmtKind::Function: {
            auto& f = static_cast<const FunctionStmt&>(*stmt);
            names.insert(f.name);
            names.insert(f.function->params.begin(), f.function->params.end());
            add_bound_names(f.function->body, names);
            break;
        }
        case StmtKind::If: {
            auto& s = static_cast<const IfStmt&>(*stmt);
            add_bound_names(s.then_body, names);
            if (s.else_body) add_bound_names(*s.else_body, names);
            break;
        }
        case StmtKind::While:
            add_bound_names(static_cast<const WhileStmt&>(*stmt).body, names);
            break;
        case StmtKind::For: {
            auto& s = static_cast<const ForStmt&>(*stmt);
            names.insert(s.var);
            add_bound_names(s.body, names);
            break;
        }
        case StmtKind::Match:
            for (const MatchArm& arm : static_cast<const MatchStmt&>(*stmt).arms)
                add_bound_names(arm.body, names);
            break;
        case StmtKind::Try: {
            auto& s = static_cast<const TryStmt&>(*stmt);
            names.insert(s.catch_var);
            add_bound_names(s.body, names);
            add_bound_names(s.catch_body, names);
            break;
        }
        case StmtKind::Use: {
            auto& use = static_cast<const UseStmt&>(*stmt);
            if (use.items)
                names.insert(use.items->begin(), use.items->end());
            else
                names.insert(module_binding(use));
            break;
        }
        default: break;
        }
    }
}

} // namespace drevel
