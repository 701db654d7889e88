#include "modules/sdl2/key_names.h"

#include <array>

namespace drevel::keys {

namespace {

struct NamedKey {
    int32_t code;
    std::string_view name;
};

// Slot 0 is "unknown"; then the named keys other than letters and digits;
// digits and letters follow in code order, so their slots are computed.
constexpr std::array<NamedKey, 16> kSpecialKeys{{
    {-1, "unknown"},
    {8, "backspace"},
    {9, "tab"},
    {13, "return"},
    {27, "escape"},
    {32, "space"},
    {0x4000004F, "right"},
    {0x40000050, "left"},
    {0x40000051, "down"},
    {0x40000052, "up"},
    {0x400000E0, "lctrl"},
    {0x400000E1, "lshift"},
    {0x400000E2, "lalt"},
    {0x400000E4, "rctrl"},
    {0x400000E5, "rshift"},
    {0x400000E6, "ralt"},
}};
constexpr int kFirstDigitSlot = int(kSpecialKeys.size());
constexpr int kFirstLetterSlot = kFirstDigitSlot + 10;
// The mouse buttons by their SDL numbers 1, 2 and 3.
constexpr std::array<std::string_view, 3> kMouseButtons{"mouse_left", "mouse_middle",
                                                        "mouse_right"};
constexpr int kFirstMouseSlot = kFirstLetterSlot + 26;
constexpr int kSlotCount = kFirstMouseSlot + int(kMouseButtons.size());
static_assert(kSlotCount <= 64, "key sets are 64-bit");

constexpr std::string_view kDigitsAndLetters = "0123456789abcdefghijklmnopqrstuvwxyz";

} // namespace

int slot_of_code(int32_t code) noexcept {
    if (code >= '0' && code <= '9') return kFirstDigitSlot + (code - '0');
    if (code >= 'a' && code <= 'z') return kFirstLetterSlot + (code - 'a');
    for (size_t i = 1; i < kSpecialKeys.size(); ++i)
        if (kSpecialKeys[i].code == code) return int(i);
    return kUnknownSlot;
}

int slot_of_mouse_button(uint8_t button) noexcept {
    if (button < 1 || button > kMouseButtons.size()) return -1;
    return kFirstMouseSlot + (button - 1);
}

int slot_of_name(std::string_view name) noexcept {
    if (name.size() == 1) {
        char c = name[0];
        if (c >= '0' && c <= '9') return kFirstDigitSlot + (c - '0');
        if (c >= 'a' && c <= 'z') return kFirstLetterSlot + (c - 'a');
        return -1;
    }
    for (size_t i = 0; i < kSpecialKeys.size(); ++i)
        if (kSpecialKeys[i].name == name) return int(i);
    for (size_t i = 0; i < kMouseButtons.size(); ++i)
        if (kMouseButtons[i] == name) return kFirstMouseSlot + int(i);
    return -1;
}

std::string_view name_of_slot(int slot) noexcept {
    if (slot >= kFirstMouseSlot && slot < kSlotCount)
        return kMouseButtons[size_t(slot - kFirstMouseSlot)];
    if (slot >= kFirstDigitSlot && slot < kFirstMouseSlot)
        return kDigitsAndLetters.substr(size_t(slot - kFirstDigitSlot), 1);
    if (slot > 0 && slot < kFirstDigitSlot) return kSpecialKeys[size_t(slot)].name;
    return kSpecialKeys[0].name;
}

} // namespace drevel::keys
