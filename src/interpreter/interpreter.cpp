#include "interpreter/interpreter.h"

#include "interpreter/failure.h"
#include "interpreter/log.h"

namespace drevel {

Interpreter::Interpreter() {
    ensure_stack_floor();
}

Interpreter::~Interpreter() = default;

Value Interpreter::get_variable(std::string_view name) const {
    size_t dot = name.find('.');
    if (dot == std::string_view::npos) return get_variable(intern(name));
    std::string module(name.substr(0, dot));
    std::string member(name.substr(dot + 1));
    auto it = modules_.find(module);
    if (it == modules_.end())
        return fail("Module '" + module + "' is not imported. Use 'use " + module +
                    ";' to import it");
    auto export_it = it->second->find(member);
    if (export_it != it->second->end()) return export_it->second;
    return fail("Module '" + module + "' has no export named '" + member + "'");
}

ExportMap Interpreter::globals() const {
    ExportMap out;
    for (Symbol s = 0; s < slots_.size(); ++s) {
        if (slots_[s].has_global) out.emplace(symbol_name(s), slots_[s].global);
    }
    return out;
}

} // namespace drevel
