// The key table and typed-text conversion.
#include "platform/Key_Map.h"

#include <array>

#include "platform/Text_Encoding.h"

namespace kelvane {

namespace {

// Virtual-key codes by scancode (USB HID usage), for the keys up to the modifiers.
constexpr std::array<uint8_t, 232> make_table() {
    std::array<uint8_t, 232> t{};
    for (int i = 0; i < 26; ++i) t[size_t(4 + i)] = uint8_t('A' + i); // A ... Z
    for (int i = 0; i < 9; ++i) t[size_t(30 + i)] = uint8_t('1' + i); // 1 ... 9
    t[39] = '0';
    t[40] = 13;  // Return
    t[41] = 27;  // Escape
    t[42] = 8;   // Backspace
    t[43] = 9;   // Tab
    t[44] = 32;  // Space
    t[45] = 189; // - _
    t[46] = 187; // = +
    t[47] = 219; // [ {
    t[48] = 221; // ] }
    t[49] = 220; // backslash |
    t[50] = 220; // the key beside Enter on ISO keyboards
    t[51] = 186; // ; :
    t[52] = 222; // ' "
    t[53] = 192; // ` ~
    t[54] = 188; // , <
    t[55] = 190; // . >
    t[56] = 191; // / ?
    t[57] = 20;  // Caps Lock
    for (int i = 0; i < 12; ++i) t[size_t(58 + i)] = uint8_t(112 + i); // F1 ... F12
    t[70] = 44;                                                        // Print Screen
    t[71] = 145;                                                       // Scroll Lock
    t[72] = 19;                                                        // Pause
    t[73] = 45;                                                        // Insert
    t[74] = 36;                                                        // Home
    t[75] = 33;                                                        // Page Up
    t[76] = 46;                                                        // Delete
    t[77] = 35;                                                        // End
    t[78] = 34;                                                        // Page Down
    t[79] = 39;                                                        // Right
    t[80] = 37;                                                        // Left
    t[81] = 40;                                                        // Down
    t[82] = 38;                                                        // Up
    t[83] = 144;                                                       // Num Lock
    t[84] = 111;                                                       // keypad /
    t[85] = 106;                                                       // keypad *
    t[86] = 109;                                                       // keypad -
    t[87] = 107;                                                       // keypad +
    t[88] = 13;                                                        // keypad Enter
    for (int i = 0; i < 9; ++i) t[size_t(89 + i)] = uint8_t(97 + i);   // keypad 1 ... 9
    t[98] = 96;                                                        // keypad 0
    t[99] = 110;                                                       // keypad .
    t[100] = 226; // the extra key beside left shift on ISO keyboards
    t[101] = 93;  // Application (menu)
    for (int i = 0; i < 12; ++i) t[size_t(104 + i)] = uint8_t(124 + i); // F13 ... F24
    t[224] = 17;                                                        // left Ctrl
    t[225] = 16;                                                        // left Shift
    t[226] = 18;                                                        // left Alt
    t[227] = 91;                                                        // left Windows key
    t[228] = 17;                                                        // right Ctrl
    t[229] = 16;                                                        // right Shift
    t[230] = 18;                                                        // right Alt
    t[231] = 92;                                                        // right Windows key
    return t;
}

constexpr std::array<uint8_t, 232> scancode_table = make_table();

// The keypad without NumLock: 1 End, 2 Down, 3 Page Down, 4 Left, 5 Clear, 6 Right,
// 7 Home, 8 Up, 9 Page Up, 0 Insert, . Delete.
constexpr uint8_t keypad_navigation[11] = {35, 40, 34, 37, 12, 39, 36, 38, 33, 45, 46};

} // namespace

int32_t vk_from_key(int32_t keycode, int32_t scancode, bool numlock) {
    if (keycode >= 'a' && keycode <= 'z') return keycode - 'a' + 'A';
    if (keycode >= '0' && keycode <= '9' && !(scancode >= 89 && scancode <= 98)) return keycode;
    if (!numlock && scancode >= 89 && scancode <= 99) return keypad_navigation[scancode - 89];
    if (scancode < 0 || scancode >= int32_t(scancode_table.size())) return 0;
    return scancode_table[size_t(scancode)];
}

int32_t vk_side_from_scancode(int32_t scancode) {
    switch (scancode) {
    case 225:
        return 160; // left Shift
    case 229:
        return 161; // right Shift
    case 224:
        return 162; // left Ctrl
    case 228:
        return 163; // right Ctrl
    case 226:
        return 164; // left Alt
    case 230:
        return 165; // right Alt
    default:
        return 0;
    }
}

int32_t control_char_for_key(int32_t vk, bool ctrl) {
    switch (vk) {
    case 8:
        return 8;
    case 9:
        return 9;
    case 13:
        return 13;
    case 27:
        return 27;
    default:
        break;
    }
    if (ctrl && vk >= 'A' && vk <= 'Z') return vk - 'A' + 1;
    return 0;
}

std::string typed_text_to_cp1252(const std::string& utf8) {
    if (auto all = utf8_to_cp1252(utf8)) return *all;
    // Some character has no byte: convert one character at a time and leave those out.
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        size_t n = 1;
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead >= 0xF0)
            n = 4;
        else if (lead >= 0xE0)
            n = 3;
        else if (lead >= 0xC0)
            n = 2;
        if (auto one = utf8_to_cp1252(utf8.substr(i, n))) out += *one;
        i += n;
    }
    return out;
}

} // namespace kelvane
