// What native functions get besides their arguments: the calling
// interpreter's per-module state. Each module keeps its own state type here,
// made on first use, so the interpreter knows none of those types.
#pragma once

#include <memory>
#include <vector>

namespace drevel {

class NativeContext {
  public:
    NativeContext() = default;
    NativeContext(const NativeContext&) = delete;
    NativeContext& operator=(const NativeContext&) = delete;

    // The one State of this context, default-constructed when first asked for.
    template <class State> State& state() {
        const void* key = &kKey<State>;
        for (Entry& entry : states_)
            if (entry.key == key) return *static_cast<State*>(entry.object.get());
        Owned object(new State(), [](void* p) { delete static_cast<State*>(p); });
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
    std::vector<Entry> states_;
};

} // namespace drevel
