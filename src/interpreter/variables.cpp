#include "interpreter/variables.h"

namespace drevel {

Environment::~Environment() {
    // Bindings still hidden by scopes a failure left open.
    for (uint32_t i = 0; i < hidden_count_; ++i)
        Value::from_words(hidden_[i].value);
}

Value Environment::get_variable(Symbol name) const {
    const Value* v = find_visible(name);
    return v ? *v : Value();
}

bool Environment::variable_exists(Symbol name) const {
    return find_visible(name) != nullptr;
}

const Value* Environment::find_visible(Symbol name) const {
    const Value* found = find(name);
    if (!found && is_frame_name(name)) found = find(real_name(name));
    return found;
}

void Environment::bind_variable(Symbol name, Value value) {
    Slot& s = slot(name);
    if (s.frame && !s.declared_global) { // a frame cell hides nothing
        s.local = std::move(value);
        s.local_depth = depth_;
        return;
    }
    if (s.declared_global || depth_ == 0) {
        if (s.frame) return bind_variable(real_name(name), std::move(value));
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
    Slot& s = slot(name);
    if (!s.declared_global) globals_stamp_ = next_globals_stamp();
    s.declared_global = true;
}

uint64_t Environment::next_globals_stamp() {
    static thread_local constinit uint64_t last = 0;
    return ++last;
}

} // namespace drevel
