// The game window's input rules as the run's input state keeps them: key and mouse bits
// across a step, pressed and released marks, the typed text with its 80-character rule,
// close requests, clearing on room entry; and the window's events reaching it.
#include <gtest/gtest.h>

#include "graphics/Graphics_Window.h"

using namespace kelvane;

TEST(InputState, KeyBitsAcrossSteps) {
    InputState s;
    s.key_down(37);
    EXPECT_EQ(s.keys[37], 3);
    EXPECT_TRUE(s.key_pressed[37]);
    EXPECT_EQ(s.keyboard_key, 37);
    EXPECT_EQ(s.keyboard_lastkey, 37);
    s.end_step();
    EXPECT_EQ(s.keys[37], 2); // still held
    s.key_pressed[37] = false;
    s.key_down(37); // auto-repeat: already held, no new press
    EXPECT_FALSE(s.key_pressed[37]);
    s.key_up(37);
    EXPECT_EQ(s.keys[37], 1);
    EXPECT_TRUE(s.key_released[37]);
    EXPECT_EQ(s.keyboard_key, 0);
    EXPECT_EQ(s.keyboard_lastkey, 37);
    s.end_step();
    EXPECT_EQ(s.keys[37], 0);
}

TEST(InputState, PressAndReleaseWithinOneStepLeavesTheWentDownBit) {
    InputState s;
    s.key_down(32);
    s.key_up(32);
    EXPECT_EQ(s.keys[32], 1);
    s.end_step();
    EXPECT_EQ(s.keys[32], 0);
}

TEST(InputState, CurrentKeyIsClearedOnlyByItsOwnRelease) {
    InputState s;
    s.key_down(65);
    s.key_down(66);
    s.key_up(65);
    EXPECT_EQ(s.keyboard_key, 66);
    // Codes outside 0 ... 255 change the keys but not the table.
    s.key_down(300);
    EXPECT_EQ(s.keyboard_key, 300);
    s.key_up(300);
    EXPECT_EQ(s.keyboard_key, 0);
    s.key_down(-5);
    EXPECT_EQ(s.keyboard_lastkey, -5);
}

TEST(InputState, TypedTextKeepsItsLast80CharactersBeforeEachPress) {
    InputState s;
    for (int i = 0; i < 80; ++i) s.key_press(uint8_t('a' + i % 26));
    s.key_press('X');
    EXPECT_EQ(s.keyboard_string.size(), 81u); // cut only before the next press
    s.key_press('Y');
    EXPECT_EQ(s.keyboard_string.size(), 81u);
    EXPECT_EQ(s.keyboard_string.substr(79), "XY");
    EXPECT_EQ(s.keyboard_string[0], 'b');
    EXPECT_EQ(s.keyboard_lastchar, "Y");
}

TEST(InputState, BackspaceDeletesAndControlCharactersAreNotTyped) {
    InputState s;
    s.key_press(8);
    EXPECT_EQ(s.keyboard_string, "");
    EXPECT_EQ(s.keyboard_lastchar, "\b");
    s.key_press('h');
    s.key_press('i');
    s.key_press(13);
    s.key_press(0xE9); // Windows-1252 e acute
    s.key_press(8);
    EXPECT_EQ(s.keyboard_string, "hi");
    s.key_press(' ');
    EXPECT_EQ(s.keyboard_string, "hi ");
}

TEST(InputState, MouseButtons) {
    InputState s;
    s.mouse_down(2);
    EXPECT_EQ(s.mouse_button, 2);
    EXPECT_EQ(s.mouse[1], 3);
    EXPECT_TRUE(s.mouse_pressed[1]);
    s.end_step();
    EXPECT_EQ(s.mouse[1], 2);
    s.mouse_up(2);
    EXPECT_EQ(s.mouse_button, 0);
    EXPECT_EQ(s.mouse[1], 0);
    EXPECT_TRUE(s.mouse_released[1]);
    s.mouse_down(4); // no such button
    s.mouse_down(0);
    EXPECT_EQ(s.mouse_button, 0);
}

TEST(InputState, TheWindowsEventsReachTheStateAndCloseActsAsEscape) {
    InputState s;
    CWindowInput in(s);
    InputSink& sink = in;
    sink.key_down(40);
    sink.key_press('q');
    sink.mouse_down(3);
    sink.close_request();
    EXPECT_EQ(s.keys[40], 3);
    EXPECT_EQ(s.keyboard_string, "q");
    EXPECT_EQ(s.mouse[2], 3);
    EXPECT_TRUE(s.close_request);
    EXPECT_EQ(s.keyboard_lastkey, 27);
    s.clear_all(); // room entry
    EXPECT_EQ(s.keyboard_lastkey, 0);
    EXPECT_EQ(s.keys[40], 0);
    EXPECT_EQ(s.keyboard_string, "");
    EXPECT_EQ(s.mouse_button, 0);
}
