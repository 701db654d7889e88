// The variables of one running program. Scopes are dynamic: one scope per
// active user-function call, searched innermost first, then the globals.
// Each interned name has one cell holding its innermost binding; a binding a
// call hides is saved and given back when the call returns (shallow
// binding), so a read or write costs the same at any call depth.
#pragma once

#include <cstdint>
#include <vector>

#include "interpreter/frame_slots.h"
#include "interpreter/operator_rules.h"
#include "interpreter/value.h"
#include "parser/ast.h"

namespace drevel {

class Environment {
  public:
    Environment() { grow_slots(); }
    ~Environment();
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    // Gives every name interned so far a slot; called after parsing.
    void ensure_slots() {
        if (slots_.size() < symbol_count()) grow_slots();
    }
    // A copy of the variable's value, or Null when no scope or global holds it.
    Value get_variable(Symbol name) const;
    bool variable_exists(Symbol name) const;
    void set_variable(Symbol name, Value value) {
        // Overwriting an existing binding of the current scope (or a global
        // at top level) is the common case.
        if (Value* target = binding_to_write(name)) {
            *target = std::move(value);
            return;
        }
        bind_variable(name, std::move(value));
    }
    // set_variable of a value that stays where it is: the binding takes a
    // copy in place, with no temporary to move through.
    void copy_to_variable(Symbol name, const Value& value) {
        if (Value* target = binding_to_write(name)) [[likely]] {
            *target = value;
            return;
        }
        bind_variable(name, value);
    }
    // set_variable of a machine number, written into the binding in place.
    void set_numeric(Symbol name, Numeric n) {
        if (Value* target = binding_to_write(name)) return store_number(*target, n);
        bind_variable(name, value_of(n));
    }
    static void store_number(Value& target, Numeric n) {
        if (n.kind == Numeric::Int)
            target.assign_number(n.i);
        else if (n.kind == Numeric::Float)
            target.assign_floating(n.f);
        else
            target = Value::boolean(n.i != 0);
    }
    void declare_global(Symbol name);
    // A call's scope: push_scope returns where its bindings begin, which
    // pop_scope takes back to drop them.
    uint32_t push_scope() {
        ++depth_;
        return hidden_count_;
    }
    void pop_scope(uint32_t start) {
        HiddenBinding* first = hidden_.data() + start;
        for (HiddenBinding* it = hidden_.data() + hidden_count_; it != first;) {
            --it;
            Slot& s = slots_[it->symbol];
            s.local.replace_with(it->value);
            s.local_depth = it->depth;
        }
        hidden_count_ = start; // the records own nothing now
        --depth_;
    }

  protected:
    // One cell per interned name: its innermost local binding and its global.
    struct Slot {
        Value local;
        uint32_t local_depth = 0; // the scope that bound local; 0 when there is none
        bool has_global = false;
        bool declared_global = false; // of a frame cell: its name is declared global
        bool frame = false;           // the cell of a frame name (frame_slots.h)
        Value global;
    };
    // A binding a newer scope hid, given back when that scope closes. The
    // record owns the hidden value's words until then.
    struct HiddenBinding {
        Value::Words value;
        Symbol symbol;
        uint32_t depth;
    };
    // A new local binding in the current scope, hiding the name's binding.
    // Both values are relocated word by word: the hidden one into its
    // record, the new one into the cell, leaving `value` empty.
    void bind_local(Slot& s, Symbol name, Value& value) {
        if (hidden_count_ == hidden_capacity_) [[unlikely]]
            grow_hidden();
        hidden_[hidden_count_++] = HiddenBinding{s.local.words(), name, s.local_depth};
        s.local.adopt(value.words());
        value.forget();
        s.local_depth = depth_;
    }

    // find, and for a frame name its call has not bound, the name's own
    // binding (a caller's, or a global), as the scope rule reads it.
    const Value* find_visible(Symbol name) const;
    // Changes with every name this environment declares global; unique in
    // the thread, so a function can remember for whose declarations its
    // frame cells were set up.
    static uint64_t next_globals_stamp();
    uint64_t globals_stamp_ = next_globals_stamp();
    // The names the frame names stand for: those of the function whose frame
    // cells were set up last, the one running when a frame name is read.
    const Symbol first_frame_ = first_frame_name();
    const Symbol* frame_real_names_ = nullptr;
    Symbol real_name(Symbol name) const {
        return name - first_frame_ < kMaxFrameNames ? frame_real_names_[name - first_frame_] : name;
    }

    const Value* find(Symbol name) const {
        if (name >= slot_count_) return nullptr; // a name no code here has bound
        const Slot& slot = slots_[name];
        if (slot.local_depth) return &slot.local;
        return slot.has_global ? &slot.global : nullptr;
    }
    Slot& slot(Symbol name) {
        if (name >= slot_count_) grow_slots();
        return slots_[name];
    }
    [[gnu::noinline, gnu::cold]] void grow_slots() {
        slots_.resize(symbol_count() + 64);
        slot_count_ = uint32_t(slots_.size());
    }
    // set_variable for a parameter of the scope just opened: usually a new
    // local binding.
    // The argument is relocated out of `value`, which is left empty.
    void bind_parameter(Symbol name, Value& value) {
        Slot& s = slot(name);
        if (!s.declared_global && s.local_depth != depth_) [[likely]]
            return bind_local(s, name, value);
        rebind_parameter(name, value);
    }
    // A parameter named like an earlier one, or declared global.
    [[gnu::noinline]] void rebind_parameter(Symbol name, Value& value) {
        set_variable(name, std::move(value));
    }
    // set_variable when a new binding is made or the name is global.
    void bind_variable(Symbol name, Value value);
    // The binding set_variable would overwrite, if one exists.
    Value* binding_to_overwrite(Symbol name) {
        if (name >= slot_count_) return nullptr;
        Slot& s = slots_[name];
        if (s.declared_global || depth_ == 0) return s.has_global ? &s.global : nullptr;
        if (s.local_depth == depth_) return &s.local;
        return nullptr;
    }

    // binding_to_overwrite, or the empty cell of a frame name, bound now to
    // take the value about to be written: it hides nothing.
    Value* binding_to_write(Symbol name) {
        if (name >= slot_count_) return nullptr;
        Slot& s = slots_[name];
        if (s.declared_global || depth_ == 0) return s.has_global ? &s.global : nullptr;
        if (s.local_depth == depth_) return &s.local;
        if (s.frame) {
            s.local_depth = depth_;
            return &s.local;
        }
        return nullptr;
    }

    // The binding a read of the name finds when a write replaces that same
    // binding; nullptr otherwise.
    Value* binding_read_and_written(Symbol name) {
        if (name >= slot_count_) return nullptr;
        Slot& s = slots_[name];
        if (s.local_depth)
            return s.local_depth == depth_ && !s.declared_global ? &s.local : nullptr;
        return s.has_global && (s.declared_global || depth_ == 0) ? &s.global : nullptr;
    }

    std::vector<Slot> slots_;
    uint32_t slot_count_ = 0;
    // By open scopes, in the order they were hidden: the first hidden_count_
    // records of a buffer that only grows.
    std::vector<HiddenBinding> hidden_;
    uint32_t hidden_count_ = 0;
    uint32_t hidden_capacity_ = 0; // hidden_.size(), without working it out per binding
    [[gnu::noinline, gnu::cold]] void grow_hidden() {
        hidden_.resize(hidden_.size() * 2 + 64);
        hidden_capacity_ = uint32_t(hidden_.size());
    }
    uint32_t depth_ = 0; // open scopes
};

} // namespace drevel
