// Scripted input files and the headless window that plays them and writes frames.
#include <gtest/gtest.h>

#include <filesystem>

#include "graphics/Graphics_Window.h"
#include "platform/Scripted_Input.h"
#include "platform/headless/Headless_Platform.h"

using namespace kelvane;
namespace fs = std::filesystem;

TEST(ScriptedInput, ReadsEveryEventKindInStepOrder) {
    std::string error;
    auto events = parse_scripted_input("# a comment\n"
                                       "3 key-up 37\r\n"
                                       "\n"
                                       "1 key-down 37\n"
                                       "2 mouse-move -4 300\n"
                                       "2 mouse-down 1\n"
                                       "2 mouse-up 3\n"
                                       "1 char h\xc3\xa9 \\b\\x41\\\\\n",
                                       &error);
    ASSERT_TRUE(events) << error;
    ASSERT_EQ(events->size(), 6u);
    const auto& e = *events;
    EXPECT_EQ(e[0].step, 1);
    EXPECT_EQ(e[0].kind, RScriptedEvent::key_down);
    EXPECT_EQ(e[0].a, 37);
    EXPECT_EQ(e[1].kind, RScriptedEvent::character);
    EXPECT_EQ(e[1].text, "h\xe9 \bA\\");
    EXPECT_EQ(e[2].kind, RScriptedEvent::mouse_move);
    EXPECT_EQ(std::make_pair(e[2].a, e[2].b), std::make_pair(-4, 300));
    EXPECT_EQ(e[3].kind, RScriptedEvent::mouse_down);
    EXPECT_EQ(e[4].kind, RScriptedEvent::mouse_up);
    EXPECT_EQ(e[4].a, 3);
    EXPECT_EQ(e[5].step, 3);
    EXPECT_EQ(e[5].kind, RScriptedEvent::key_up);
}

TEST(ScriptedInput, DebugClicksReadBackAsWrittenAndStayOutOfTheGameWindow) {
    std::string error;
    auto events = parse_scripted_input("3 debug-click 149 15\n2 key-down 32\n", &error);
    ASSERT_TRUE(events) << error;
    ASSERT_EQ(events->size(), 2u);
    const RScriptedEvent& click = (*events)[1];
    EXPECT_EQ(click.kind, RScriptedEvent::debug_click);
    EXPECT_EQ(std::make_pair(click.a, click.b), std::make_pair(149, 15));
    EXPECT_EQ(format_scripted_event(click), "3 debug-click 149 15");

    // The game window never receives the click; the debug window takes it by step.
    HeadlessOptions options;
    options.input = *events;
    HeadlessDisplay window(options);
    struct Keys : InputSink {
        std::string seen;
        void key_down(int32_t vk) override { seen += "d" + std::to_string(vk); }
        void key_up(int32_t) override {}
        void key_press(uint8_t) override {}
        void mouse_down(int32_t) override { seen += "m"; }
        void mouse_up(int32_t) override { seen += "u"; }
        void close_request() override {}
    } game, side;
    auto debug = window.open_side_window("Debug Information", 300, 330);
    ASSERT_TRUE(debug);
    window.begin_step(1);
    window.process_events(game);
    debug->process_events(side);
    EXPECT_EQ(game.seen, "d32");
    EXPECT_EQ(side.seen, "");
    EXPECT_FALSE(debug->input_may_come()) << "the click is for step 3";
    window.begin_step(2);
    EXPECT_TRUE(debug->input_may_come());
    window.process_events(game);
    debug->process_events(side);
    EXPECT_EQ(game.seen, "d32");
    EXPECT_EQ(side.seen, "mu");
    int32_t x = 0, y = 0;
    debug->mouse_position(x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(149, 15));
    EXPECT_FALSE(debug->input_may_come());
}

TEST(ScriptedInput, TheDocumentedExampleReads) {
    std::string error;
    auto events = parse_scripted_input("# the right arrow is held from step 1 to step 5\n"
                                       "1 key-down 39\n"
                                       "5 key-up 39\n"
                                       "# \"hello\" and Enter are typed before step 6\n"
                                       "6 char hello\\r\n"
                                       "7 mouse-move 320 240\n"
                                       "7 mouse-down 1\n"
                                       "8 mouse-up 1\n",
                                       &error);
    ASSERT_TRUE(events) << error;
    ASSERT_EQ(events->size(), 6u);
    EXPECT_EQ((*events)[2].text, "hello\r");
}

TEST(ScriptedInput, BadLinesAreNamed) {
    const std::pair<const char*, const char*> cases[] = {
        {"0 key-down 3", "line 1: the step must be a whole number from 1"},
        {"x key-down 3", "line 1: the step must be"},
        {"1 key-down", "line 1: key-down needs one key code"},
        {"1\n2 key-down 70000", "line 1: an event must follow the step"},
        {"1 key-down 3\n2 key-down 70000", "line 2: key-down needs one key code from 0 to 65535"},
        {"1 mouse-down 4", "line 1: mouse-down needs a button"},
        {"1 mouse-move 3", "line 1: mouse-move needs two whole numbers"},
        {"1 debug-click 3", "line 1: debug-click needs two whole numbers"},
        {"1 debug-click -1 3", "line 1: debug-click needs two whole numbers"},
        {"1 jump 3", "line 1: unknown event \"jump\""},
        {"1 char", "line 1: char needs a text"},
        {"1 char \\x4", "line 1: \\x needs two hexadecimal digits"},
        {"1 char \\q", "line 1: unknown escape \\q"},
        {"1 char \xe4\xb8\xad", "line 1: "},
    };
    for (auto [text, message] : cases) {
        std::string error;
        EXPECT_FALSE(parse_scripted_input(text, &error)) << text;
        EXPECT_EQ(error.rfind(message, 0), 0u) << text << " gave: " << error;
    }
}

TEST(HeadlessWindow, DeliversEachStepsInputBeforeItRuns) {
    // The main loop processes the window's events between steps, then begins the next
    // step: the events processed after step n has begun are those of step n + 1.
    std::string error;
    HeadlessOptions o;
    o.input = *parse_scripted_input("1 key-down 16\n"
                                    "1 char ab\n"
                                    "2 key-up 16\n"
                                    "2 mouse-move 5 6\n"
                                    "4 mouse-down 1\n",
                                    &error);
    HeadlessDisplay window(o);
    RInputState s;
    CWindowInput sink(s);
    window.process_events(sink); // before step 1
    EXPECT_EQ(s.key_state[16], 3);
    EXPECT_EQ(s.typed, "ab");
    EXPECT_TRUE(window.key_held(16));
    EXPECT_TRUE(window.key_held(160)); // either side
    window.process_events(sink);       // nothing more before step 1
    EXPECT_EQ(s.typed, "ab");
    window.begin_step(1);
    window.process_events(sink); // after step 1: step 2's events
    EXPECT_EQ(s.key_state[16], 1);
    EXPECT_FALSE(window.key_held(16));
    int32_t x = 0, y = 0;
    window.mouse_position(x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(5, 6));
    window.begin_step(2);
    window.process_events(sink);
    EXPECT_EQ(s.mouse_state[1], 0);
    window.begin_step(3);
    window.process_events(sink);
    EXPECT_EQ(s.mouse_state[1], 3);
}

TEST(HeadlessWindow, WritesEachStepsLastFrameAsPng) {
    fs::path dir = fs::temp_directory_path() / ("kelvane-frames-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    HeadlessOptions o;
    o.frames_dir = (dir / "out").string();
    HeadlessDisplay window(o);
    Image32 picture{2, 1, {0xFF0000, 0x00FF00}};
    window.begin_step(7);
    window.present(picture, {});
    window.present(picture, {});
    window.begin_step(12);
    window.present(picture, {});
    window.finish_frames(); // a thread of its own writes them
    EXPECT_TRUE(fs::exists(dir / "out" / "frame-000007.png"));
    EXPECT_TRUE(fs::exists(dir / "out" / "frame-000012.png"));
    EXPECT_EQ(window.presented(), 3);
    EXPECT_FALSE(window.frame_write_failed());
    fs::remove_all(dir);

    HeadlessOptions bad;
    bad.frames_dir = "/proc/kelvane-cannot-be-here";
    HeadlessDisplay failing(bad);
    testing::internal::CaptureStderr();
    failing.present(picture, {});
    failing.present(picture, {});
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(failing.frame_write_failed());
    EXPECT_EQ(err.find("cannot write the frame"), err.rfind("cannot write the frame")); // once
}
