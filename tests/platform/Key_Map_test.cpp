// The key table: SDL keys (scancodes are USB usage numbers) to Windows virtual-key codes,
// control characters, and typed text in Windows-1252.
#include <gtest/gtest.h>

#include "platform/Key_Map.h"

using namespace kelvane;

TEST(KeyMap, KeysGiveTheVirtualKeyCodesGamesUse) {
    struct Case {
        int32_t keycode, scancode;
        bool numlock;
        int32_t vk;
        const char* what;
    };
    const int32_t none = 0x40000000; // a key code SDL gives keys without a character
    const Case cases[] = {
        {'a', 4, true, 65, "A"},
        {'z', 29, true, 90, "Z"},
        {'q', 4, true, 81, "A position typing q (French layout) is Q"},
        {0x444, 9, true, 70, "a letter without an ASCII code falls back to its position"},
        {'1', 30, true, 49, "1"},
        {'0', 39, true, 48, "0"},
        {'\r', 40, true, 13, "Return"},
        {27, 41, true, 27, "Escape"},
        {8, 42, true, 8, "Backspace"},
        {9, 43, true, 9, "Tab"},
        {' ', 44, true, 32, "Space"},
        {none, 58, true, 112, "F1"},
        {none, 61, true, 115, "F4"},
        {none, 69, true, 123, "F12"},
        {none, 80, true, 37, "Left"},
        {none, 82, true, 38, "Up"},
        {none, 79, true, 39, "Right"},
        {none, 81, true, 40, "Down"},
        {none, 74, true, 36, "Home"},
        {none, 77, true, 35, "End"},
        {none, 75, true, 33, "Page Up"},
        {none, 78, true, 34, "Page Down"},
        {none, 73, true, 45, "Insert"},
        {127, 76, true, 46, "Delete"},
        {none, 72, true, 19, "Pause"},
        {none, 70, true, 44, "Print Screen"},
        {none, 98, true, 96, "keypad 0"},
        {none, 97, true, 105, "keypad 9"},
        {none, 84, true, 111, "keypad /"},
        {none, 85, true, 106, "keypad *"},
        {none, 86, true, 109, "keypad -"},
        {none, 87, true, 107, "keypad +"},
        {none, 99, true, 110, "keypad ."},
        {none, 88, true, 13, "keypad Enter"},
        {none, 96, false, 38, "keypad 8 without NumLock is Up"},
        {none, 93, false, 12, "keypad 5 without NumLock is Clear"},
        {none, 98, false, 45, "keypad 0 without NumLock is Insert"},
        {none, 99, false, 46, "keypad . without NumLock is Delete"},
        {none, 225, true, 16, "left Shift"},
        {none, 229, true, 16, "right Shift"},
        {none, 224, true, 17, "left Ctrl"},
        {none, 228, true, 17, "right Ctrl"},
        {none, 226, true, 18, "left Alt"},
        {none, 230, true, 18, "right Alt"},
        {'-', 45, true, 189, "-"},
        {';', 51, true, 186, ";"},
        {'/', 56, true, 191, "/"},
        {none, 57, true, 20, "Caps Lock"},
        {none, 500, true, 0, "no such key"},
        {none, -3, true, 0, "no such key"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(vk_from_key(c.keycode, c.scancode, c.numlock), c.vk) << c.what;
}

TEST(KeyMap, ModifierSidesHaveTheirOwnCodes) {
    EXPECT_EQ(vk_side_from_scancode(225), 160);
    EXPECT_EQ(vk_side_from_scancode(229), 161);
    EXPECT_EQ(vk_side_from_scancode(224), 162);
    EXPECT_EQ(vk_side_from_scancode(228), 163);
    EXPECT_EQ(vk_side_from_scancode(226), 164);
    EXPECT_EQ(vk_side_from_scancode(230), 165);
    EXPECT_EQ(vk_side_from_scancode(4), 0);
}

TEST(KeyMap, ControlKeysTypeTheirCharacters) {
    EXPECT_EQ(control_char_for_key(8, false), 8);
    EXPECT_EQ(control_char_for_key(13, false), 13);
    EXPECT_EQ(control_char_for_key(27, true), 27);
    EXPECT_EQ(control_char_for_key(9, false), 9);
    EXPECT_EQ(control_char_for_key('C', true), 3);
    EXPECT_EQ(control_char_for_key('C', false), 0); // SDL's text input types it
    EXPECT_EQ(control_char_for_key(37, true), 0);
}

TEST(KeyMap, TypedTextBecomesWindows1252) {
    EXPECT_EQ(typed_text_to_cp1252("a"), "a");
    EXPECT_EQ(typed_text_to_cp1252("\xc3\xa9"), "\xe9");     // e acute
    EXPECT_EQ(typed_text_to_cp1252("\xe2\x82\xac"), "\x80"); // euro sign
    EXPECT_EQ(typed_text_to_cp1252("x\xe4\xb8\xad"
                                   "y"),
              "xy"); // no byte for it: left out
}
