// Event, key and button names as messages show them.
#include <gtest/gtest.h>

#include "run/Event_Name.h"

using namespace kelvane;

TEST(EventNames, Table) {
    auto objects = [](int32_t n) { return n == 3 ? std::string("obj_wall") : "<undefined>"; };
    struct Case {
        int32_t type, number;
        const char* name;
    } cases[] = {
        {0, 0, "Creation Event"},
        {1, 0, "Destroy Event"},
        {2, 5, "Alarm Event for alarm 5"},
        {3, 2, "Step Event"},
        {4, 3, "Collision Event with obj_wall"},
        {4, 9, "Collision Event with <undefined>"},
        {5, 0, "Keyboard Event for <no key>"},
        {5, 37, "Keyboard Event for <Left>"},
        {5, 'Q', "Keyboard Event for Q-key"},
        {5, '7', "Keyboard Event for 7-key"},
        {5, 101, "Keyboard Event for Keypad 5"},
        {5, 123, "Keyboard Event for F12"},
        {5, 200, "Keyboard Event for <unknown>"},
        {6, 3, "Mouse Event for No Button"},
        {6, 4, "Mouse Event for <unknown>"},
        {7, 6, "Other Event for No more Lives"},
        {7, 8, "Other Event for <unknown>"},
        {7, 17, "Other Event for User 7"},
        {8, 0, "Draw Event"},
        {9, 37, "<Unknown Event>"},
        {10, 37, "<Unknown Event>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(event_name(c.type, c.number, c.type == 4 ? objects(c.number) : ""), c.name);
}
