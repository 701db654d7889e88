// The names scripts use for keyboard keys and mouse buttons. Every key and
// button maps to one slot of a small fixed table, so the pressed, held and
// released sets are bit sets.
#pragma once

#include <cstdint>
#include <string_view>

namespace drevel::keys {

// Slot numbers fit one 64-bit set.
using KeySet = uint64_t;
inline constexpr int kUnknownSlot = 0;

// The slot of an SDL key code; every code without a name shares the slot of
// "unknown".
int slot_of_code(int32_t code) noexcept;
// The slot of an SDL mouse button (left, middle, right), which scripts ask
// for like keys; -1 for the other buttons.
int slot_of_mouse_button(uint8_t button) noexcept;
// The slot a script's key name stands for, or -1 when no key has that name
// (names are compared exactly, so "Space" has none).
int slot_of_name(std::string_view name) noexcept;
// The name of a slot.
std::string_view name_of_slot(int slot) noexcept;

inline std::string_view key_name(int32_t code) noexcept {
    return name_of_slot(slot_of_code(code));
}

inline bool contains(KeySet set, int slot) noexcept {
    return slot >= 0 && (set >> slot) & 1u;
}
inline void insert(KeySet& set, int slot) noexcept {
    set |= KeySet(1) << slot;
}
inline void erase(KeySet& set, int slot) noexcept {
    set &= ~(KeySet(1) << slot);
}

} // namespace drevel::keys
