// What native functions get besides their arguments: the calling
// interpreter's per-module state. Each module keeps its own state type here,
// made on first use, so the interpreter knows none of those types.
#pragma once

#include <chrono>
#include <memory>
#include <type_traits>
#include <vector>

namespace drevel {

class Interpreter;

class NativeContext {
  public:
    explicit NativeContext(Interpreter* owner = nullptr)
        : started_(std::chrono::steady_clock::now()), owner_(owner) {}
    NativeContext(const NativeContext&) = delete;
    NativeContext& operator=(const NativeContext&) = delete;

    // When the context was made: state made later that measures time from
    // the start of the program (the first frame's length) counts from here.
    std::chrono::steady_clock::time_point started() const noexcept { return started_; }

    // The interpreter whose calls reach the native functions, for those that
    // call back into the script (handlers); nullptr in tests of a module alone.
    Interpreter* interpreter() const noexcept { return owner_; }

    // Drops every module's state now, newest first (the window closes), as
    // when the program ends early.
    void close_all() {
        while (!states_.empty())
            states_.pop_back();
    }

    // The one State of this context, made when first asked for (from the
    // context when State takes one).
    template <class State> State& state() {
        const void* key = &kKey<State>;
        for (Entry& entry : states_)
            if (entry.key == key) return *static_cast<State*>(entry.object.get());
        State* made;
        if constexpr (std::is_constructible_v<State, const NativeContext&>)
            made = new State(*this);
        else
            made = new State();
        Owned object(made, [](void* p) { delete static_cast<State*>(p); });
        return *static_cast<State*>(states_.emplace_back(key, std::move(object)).object.get());
    }

  private:
    // One address per state type, the same in every translation unit.
    template <class> static constexpr char kKey = 0;
    using Owned = std::unique_ptr<void, void (*)(void*)>;
    struct Entry {
        Entry(const void* k, Owned o) : key(k), object(std::move(o)) {}
        const void* key;
        Owned object;
    };
    std::chrono::steady_clock::time_point started_;
    Interpreter* owner_;
    std::vector<Entry> states_;
};

} // namespace drevel
