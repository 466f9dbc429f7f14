// The keyboard in the game's terms: physical keys (SDL scancodes, which are the USB HID
// usage numbers) and layout keys mapped to the Windows virtual-key codes games use, the
// characters Windows types for control keys, and typed text in Windows-1252.
#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

// The virtual-key code for a key: letters and digits by the layout's key code (`keycode`
// 'a' ... 'z', '0' ... '9' as SDL gives them), everything else by the key's position
// (`scancode`). Both shift keys give 16, both control keys 17, both alt keys 18. With
// NumLock off the keypad gives the navigation codes, as on Windows. 0 for keys without a
// code.
int32_t vk_from_key(int32_t keycode, int32_t scancode, bool numlock);

// The left/right codes of the modifier keys (160 ... 165), 0 for any other key.
int32_t vk_side_from_scancode(int32_t scancode);

// The character Windows types for a key that SDL types nothing for: backspace 8, tab 9,
// Enter 13, Escape 27, and with Ctrl held the letters as 1 ... 26. 0 for other keys.
int32_t control_char_for_key(int32_t vk, bool ctrl);

// Typed text (UTF-8) as Windows-1252 characters; characters without a Windows-1252 byte
// are left out.
std::string typed_text_to_cp1252(const std::string& utf8);

} // namespace kelvane
