// The name tables of events, keys and mouse buttons.
#include "run/Event_Name.h"

#include <cstdio>

namespace kelvane {

std::string key_name(int32_t key) {
    switch (key) {
    case 0:
        return "<no key>";
    case 1:
        return "<any key>";
    case 8:
        return "<Backspace>";
    case 9:
        return "<Tab>";
    case 13:
        return "<Enter>";
    case 16:
        return "<Shift>";
    case 17:
        return "<Ctrl>";
    case 18:
        return "<Alt>";
    case 27:
        return "<Escape>";
    case 32:
        return "<Space>";
    case 33:
        return "<Page Up>";
    case 34:
        return "<Page Down>";
    case 35:
        return "<End>";
    case 36:
        return "<Home>";
    case 37:
        return "<Left>";
    case 38:
        return "<Up>";
    case 39:
        return "<Right>";
    case 40:
        return "<Down>";
    case 45:
        return "<Insert>";
    case 46:
        return "<Delete>";
    case 106:
        return "Keypad *";
    case 107:
        return "Keypad +";
    case 109:
        return "Keypad -";
    case 110:
        return "Keypad .";
    case 111:
        return "Keypad /";
    default:
        break;
    }
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) {
        std::string name = "?-key";
        name[0] = char(key);
        return name;
    }
    // Formatted in a buffer: g++ 12 warns falsely about short literal strings at -O2.
    char buf[16];
    if (key >= 96 && key <= 105) {
        std::snprintf(buf, sizeof buf, "Keypad %d", key - 96);
        return buf;
    }
    if (key >= 112 && key <= 123) {
        std::snprintf(buf, sizeof buf, "F%d", key - 111);
        return buf;
    }
    return "<unknown>";
}

std::string mouse_button_name(int32_t number) {
    switch (number) {
    case 0:
        return "Left Button";
    case 1:
        return "Right Button";
    case 2:
        return "Middle Button";
    case 3:
        return "No Button";
    default:
        return "<unknown>";
    }
}

std::string other_event_name(int32_t number) {
    static const char* const names[] = {"Outside",    "Boundary", "Game Start",    "Game End",
                                        "Room Start", "Room End", "No more Lives", "Animation End"};
    if (number >= 0 && number <= 7) return names[number];
    if (number >= 10 && number <= 17) return "User " + std::to_string(number - 10);
    return "<unknown>";
}

std::string event_name(int32_t type, int32_t number, const std::string& collision_object) {
    switch (type) {
    case 0:
        return "Creation Event";
    case 1:
        return "Destroy Event";
    case 2:
        return "Alarm Event for alarm " + std::to_string(number);
    case 3:
        return "Step Event";
    case 4:
        return "Collision Event with " + collision_object;
    case 5:
        return "Keyboard Event for " + key_name(number);
    case 6:
        return "Mouse Event for " + mouse_button_name(number);
    case 7:
        return "Other Event for " + other_event_name(number);
    case 8:
        return "Draw Event";
    default:
        return "<Unknown Event>";
    }
}

} // namespace kelvane
