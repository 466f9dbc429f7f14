// The game window's input rules: key and mouse bits across a step, pressed and released
// marks, the typed text with its 80-character rule, close requests, clearing on room entry.
#include <gtest/gtest.h>

#include "graphics/Graphics_Window.h"

using namespace kelvane;

TEST(InputState, KeyBitsAcrossSteps) {
    RInputState s;
    input_key_down(s, 37);
    EXPECT_EQ(s.key_state[37], 3);
    EXPECT_TRUE(s.key_pressed[37]);
    EXPECT_EQ(s.current_key, 37);
    EXPECT_EQ(s.last_key, 37);
    input_end_step(s);
    EXPECT_EQ(s.key_state[37], 2); // still held
    s.key_pressed[37] = false;
    input_key_down(s, 37); // auto-repeat: already held, no new press
    EXPECT_FALSE(s.key_pressed[37]);
    input_key_up(s, 37);
    EXPECT_EQ(s.key_state[37], 1);
    EXPECT_TRUE(s.key_released[37]);
    EXPECT_EQ(s.current_key, 0);
    EXPECT_EQ(s.last_key, 37);
    input_end_step(s);
    EXPECT_EQ(s.key_state[37], 0);
}

TEST(InputState, PressAndReleaseWithinOneStepLeavesTheWentDownBit) {
    RInputState s;
    input_key_down(s, 32);
    input_key_up(s, 32);
    EXPECT_EQ(s.key_state[32], 1);
    input_end_step(s);
    EXPECT_EQ(s.key_state[32], 0);
}

TEST(InputState, CurrentKeyIsClearedOnlyByItsOwnRelease) {
    RInputState s;
    input_key_down(s, 65);
    input_key_down(s, 66);
    input_key_up(s, 65);
    EXPECT_EQ(s.current_key, 66);
    // Codes above 255 change the keys but not the table.
    input_key_down(s, 300);
    EXPECT_EQ(s.current_key, 300);
    input_key_up(s, 300);
    EXPECT_EQ(s.current_key, 0);
    input_key_down(s, -5);
    EXPECT_EQ(s.last_key, -5);
}

TEST(InputState, TypedTextKeepsItsLast80CharactersBeforeEachPress) {
    RInputState s;
    for (int i = 0; i < 80; ++i) input_key_press(s, uint8_t('a' + i % 26));
    input_key_press(s, 'X');
    EXPECT_EQ(s.typed.size(), 81u); // cut only before the next press
    input_key_press(s, 'Y');
    EXPECT_EQ(s.typed.size(), 81u);
    EXPECT_EQ(s.typed.substr(79), "XY");
    EXPECT_EQ(s.typed[0], 'b');
    EXPECT_EQ(s.last_char, "Y");
}

TEST(InputState, BackspaceDeletesAndControlCharactersAreNotTyped) {
    RInputState s;
    input_key_press(s, 8);
    EXPECT_EQ(s.typed, "");
    EXPECT_EQ(s.last_char, "\b");
    input_key_press(s, 'h');
    input_key_press(s, 'i');
    input_key_press(s, 13);
    input_key_press(s, 0xE9); // Windows-1252 e acute
    input_key_press(s, 8);
    EXPECT_EQ(s.typed, "hi");
    EXPECT_EQ(s.last_char, "\b");
    input_key_press(s, ' ');
    EXPECT_EQ(s.typed, "hi ");
}

TEST(InputState, MouseButtons) {
    RInputState s;
    input_mouse_down(s, 2);
    EXPECT_EQ(s.current_button, 2);
    EXPECT_EQ(s.mouse_state[2], 3);
    EXPECT_TRUE(s.mouse_pressed[2]);
    input_end_step(s);
    EXPECT_EQ(s.mouse_state[2], 2);
    input_mouse_up(s, 2);
    EXPECT_EQ(s.current_button, 0);
    EXPECT_EQ(s.mouse_state[2], 0);
    EXPECT_TRUE(s.mouse_released[2]);
    input_mouse_down(s, 4); // no such button
    input_mouse_down(s, 0);
    EXPECT_EQ(s.current_button, 0);
}

TEST(InputState, CloseRequestActsAsEscapeAndOutlivesRoomEntry) {
    RInputState s;
    input_key_down(s, 65);
    input_key_press(s, 'a');
    input_mouse_down(s, 1);
    input_close_request(s);
    EXPECT_TRUE(s.close_request);
    EXPECT_EQ(s.last_key, 27);
    input_clear(s);
    EXPECT_TRUE(s.close_request);
    EXPECT_EQ(s.last_key, 0);
    EXPECT_EQ(s.current_key, 0);
    EXPECT_EQ(s.key_state[65], 0);
    EXPECT_FALSE(s.key_pressed[65]);
    EXPECT_EQ(s.typed, "");
    EXPECT_EQ(s.last_char, "");
    EXPECT_EQ(s.current_button, 0);
    EXPECT_EQ(s.mouse_state[1], 0);
}

TEST(InputState, TheWindowInputCallsTheHandlers) {
    RInputState s;
    CWindowInput in(s);
    InputSink& sink = in;
    sink.key_down(40);
    sink.key_press('q');
    sink.mouse_down(3);
    sink.close_request();
    EXPECT_EQ(s.key_state[40], 3);
    EXPECT_EQ(s.typed, "q");
    EXPECT_EQ(s.mouse_state[3], 3);
    EXPECT_EQ(s.last_key, 27);
}

TEST(InputState, KeyboardCheckOfNoKeyAnyKeyAndOneKey) {
    RInputState s;
    EXPECT_TRUE(input_key_check(s, 0));
    EXPECT_FALSE(input_key_check(s, -1));
    input_key_down(s, 40);
    input_key_up(s, 40); // went down during this step: still counts
    struct Case {
        int32_t key;
        bool expected;
    } cases[] = {{0, false}, {-1, true}, {40, true}, {41, false}, {256, false}, {-2, false}};
    for (const auto& c : cases) EXPECT_EQ(input_key_check(s, c.key), c.expected) << c.key;
    input_end_step(s);
    EXPECT_TRUE(input_key_check(s, 0));
}

TEST(InputState, MouseCheckOfAnyNoneAndOneButton) {
    RInputState s;
    EXPECT_TRUE(input_button_check(s, 0));
    input_mouse_down(s, 3);
    struct Case {
        int32_t button;
        bool expected;
    } cases[] = {{-1, true}, {0, false}, {1, false}, {3, true}, {4, false}, {-2, false}};
    for (const auto& c : cases) EXPECT_EQ(input_button_check(s, c.button), c.expected) << c.button;
}

TEST(InputState, ClearingTheStatesKeepsTheLastKeyCharacterAndTypedText) {
    RInputState s;
    input_key_down(s, 65);
    input_key_press(s, 'a');
    input_mouse_down(s, 1);
    input_key_up(s, 66);
    input_clear_states(s);
    EXPECT_TRUE(input_key_check(s, 0));
    EXPECT_TRUE(input_button_check(s, 0));
    EXPECT_FALSE(s.key_pressed[65] || s.key_released[66] || s.mouse_pressed[1]);
    EXPECT_EQ(s.last_key, 65);
    EXPECT_EQ(s.last_char, "a");
    EXPECT_EQ(s.typed, "a");
}

TEST(InputState, JoystickPositionsAsKeypadCodes) {
    struct Case {
        uint32_t x, y;
        int32_t code;
    } cases[] = {
        {32767, 32767, 101}, // centred
        {0, 65535, 97},      // down-left
        {65535, 0, 105},     // up-right
        {19999, 19999, 103}, // the edges of the dead zone
        {20000, 20000, 101}, {44000, 44000, 101}, {44001, 44001, 99},
    };
    for (const auto& c : cases) {
        RJoystickState js;
        js.x = c.x, js.y = c.y;
        EXPECT_EQ(joystick_keypad_code(js), c.code) << c.x << "," << c.y;
    }
}
