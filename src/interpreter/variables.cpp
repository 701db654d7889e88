#include "interpreter/variables.h"

namespace drevel {

Environment::~Environment() {
    // Bindings still hidden by scopes a failure left open.
    for (uint32_t i = 0; i < hidden_count_; ++i)
        Value::from_words(hidden_[i].value);
}

Value Environment::get_variable(Symbol name) const {
    const Value* v = find(name);
    return v ? *v : Value();
}

bool Environment::variable_exists(Symbol name) const {
    return find(name) != nullptr;
}

void Environment::bind_variable(Symbol name, Value value) {
    Slot& s = slot(name);
    if (s.declared_global || depth_ == 0) {
        s.global = std::move(value);
        s.has_global = true;
        return;
    }
    if (s.local_depth == depth_) {
        s.local = std::move(value);
        return;
    }
    bind_local(s, name, value);
}

void Environment::declare_global(Symbol name) {
    slot(name).declared_global = true;
}

} // namespace drevel
