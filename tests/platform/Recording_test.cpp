// Recordings: the event lines read back as the same events, the header line, the virtual
// clock, and the recording window that writes what it delivers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "platform/Recording.h"
#include "platform/Scripted_Input.h"
#include "platform/Virtual_Clock.h"
#include "platform/headless/Headless_Platform.h"

using namespace kelvane;
namespace fs = std::filesystem;

namespace {

RScriptedEvent event(int64_t step, RScriptedEvent::Kind kind, int32_t a = 0, int32_t b = 0,
                     std::string text = {}) {
    RScriptedEvent e;
    e.step = step;
    e.kind = kind;
    e.a = a;
    e.b = b;
    e.text = std::move(text);
    return e;
}

// A real clock that only counts what it was asked to wait.
class CountingClock : public Clock {
  public:
    int64_t waited = 0;
    int64_t ticks_ms() override { return 1000 + waited; }
    void sleep_ms(int64_t ms) override { waited += ms; }
};

struct Collect : InputSink {
    std::vector<std::string> got;
    void key_down(int32_t vk) override { got.push_back("down " + std::to_string(vk)); }
    void key_up(int32_t vk) override { got.push_back("up " + std::to_string(vk)); }
    void key_press(uint8_t ch) override { got.push_back(std::string("char ") + char(ch)); }
    void mouse_down(int32_t b) override { got.push_back("mdown " + std::to_string(b)); }
    void mouse_up(int32_t b) override { got.push_back("mup " + std::to_string(b)); }
    void close_request() override { got.push_back("close"); }
};

std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(Recording, EventLinesReadBackAsTheSameEvents) {
    using K = RScriptedEvent;
    std::vector<RScriptedEvent> events = {
        event(1, K::key_down, 37),
        event(1, K::key_up, 65535),
        event(2, K::character, 0, 0, "a"),
        event(2, K::character, 0, 0, " "),
        event(2, K::character, 0, 0, "\\"),
        event(2, K::character, 0, 0, "#"),
        event(3, K::character, 0, 0, "\r"),
        event(3, K::character, 0, 0, "\xe9"), // é in Windows-1252
        event(3, K::character, 0, 0, "\x81"), // a byte Windows-1252 leaves undefined
        event(4, K::mouse_move, -5, 100000),
        event(4, K::mouse_down, 3),
        event(5, K::mouse_up, 1),
        event(9, K::close),
        event(9, K::answer, 0, 0, ""),
        event(9, K::answer, 0, 0, " Ada  Lovelace "),
        event(10, K::answer, 0, 0, "a\\b\xe9\n"),
        event(11, K::joystick, 2),
    };
    events.back().joy = RJoystickState{0, 65535, 32767, 0x80000001u};
    events.push_back(event(12, K::joystick, 1)); // unplugged
    std::string text;
    for (const auto& e : events) text += format_scripted_event(e) + "\n";
    std::string error;
    auto back = parse_scripted_input(text, &error);
    ASSERT_TRUE(back) << error << "\n" << text;
    ASSERT_EQ(back->size(), events.size()) << text;
    for (size_t i = 0; i < events.size(); ++i) {
        const auto& want = events[i];
        const auto& got = (*back)[i];
        EXPECT_EQ(got.step, want.step) << i;
        EXPECT_EQ(got.kind, want.kind) << i;
        EXPECT_EQ(got.a, want.a) << i;
        EXPECT_EQ(got.b, want.b) << i;
        EXPECT_EQ(got.text, want.text) << i;
        EXPECT_EQ(got.joy, want.joy) << i;
    }
    for (const char* bad : {"1 joystick 3 0 0 0 0", "1 joystick 1 0 0 0",
                            "1 joystick 1 70000 0 0 0", "1 joystick 1 gone"}) {
        EXPECT_FALSE(parse_scripted_input(bad, &error)) << bad;
        EXPECT_NE(error.find("joystick needs an id (1 or 2)"), std::string::npos) << error;
    }
    EXPECT_FALSE(parse_scripted_input("3 close now\n", &error));
    EXPECT_EQ(error, "line 1: close takes nothing after it");

    // The answers leave the events, in order; the input stays.
    auto answers = take_answers(*back);
    EXPECT_EQ(answers, (std::vector<std::string>{"", " Ada  Lovelace ", "a\\b\xe9\n"}));
    EXPECT_EQ(back->size(), events.size() - 3);
    EXPECT_EQ(back->back().kind, K::joystick);
}

TEST(Recording, InputTakenByABoxIsNotWrittenButTheBoxsAnswerIs) {
    fs::path file = fs::temp_directory_path() / ("kelvane-rec-box-" + std::to_string(::getpid()));
    HeadlessOptions options;
    options.input = {event(1, RScriptedEvent::key_down, 65), event(2, RScriptedEvent::key_down, 13),
                     event(2, RScriptedEvent::key_up, 13), event(3, RScriptedEvent::key_up, 65)};
    RRecordingHeader header;
    header.version = "t";
    std::string error;
    {
        auto display = RecordingDisplay::open(std::make_unique<HeadlessDisplay>(options),
                                              file.string(), header, &error);
        ASSERT_TRUE(display) << error;
        Collect sink;
        display->process_events(sink);
        display->begin_step(1);
        display->form_opened(); // the box takes Enter
        display->process_events(sink);
        EXPECT_FALSE(display->key_held(13)) << "the game does not see the box's keys";
        display->form_closed(std::string("Yes"));
        display->form_opened(); // a box that takes no answer writes nothing
        display->form_closed(std::nullopt);
        display->begin_step(2);
        display->process_events(sink);
        EXPECT_EQ(sink.got, (std::vector<std::string>{"down 65", "down 13", "up 13", "up 65"}));
    }
    EXPECT_EQ(slurp(file),
              format_recording_header(header) + "\n1 key-down 65\n1 answer Yes\n3 key-up 65\n");
    fs::remove(file);
}

TEST(Recording, HeaderLineReadsBackAndBadHeadersAreNamed) {
    RRecordingHeader h;
    h.version = "0.1.0";
    h.game_checksum = 0xfedcba9876543210ull;
    h.clock_start = 123456;
    h.seed = -7;
    h.steps = 600;
    std::string line = format_recording_header(h);
    EXPECT_EQ(line, "# kelvane recording version=0.1.0 game=fedcba9876543210 clock=123456 "
                    "seed=-7 steps=600");
    std::string error;
    auto back = parse_recording_header("# a comment\n" + line + "\n1 key-down 32\n", &error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->version, "0.1.0");
    EXPECT_EQ(back->game_checksum, h.game_checksum);
    EXPECT_EQ(back->clock_start, 123456);
    EXPECT_EQ(back->seed, -7);
    EXPECT_EQ(back->steps, 600);
    // The input reader skips the header as a comment.
    auto events = parse_scripted_input(line + "\n1 key-down 32\n", &error);
    ASSERT_TRUE(events) << error;
    EXPECT_EQ(events->size(), 1u);

    struct Case {
        const char* text;
        const char* why;
    } cases[] = {
        {"1 key-down 32\n", "not a recording"},
        {"# kelvane recording game=zz clock=0\n", "checksum is not a hexadecimal number"},
        {"# kelvane recording game=1 clock=-1\n", "clock is not a whole number"},
        {"# kelvane recording game=1 clock=0 seed=4294967296\n", "seed is not a whole number"},
        {"# kelvane recording game=1 clock=0 steps=x\n", "steps is not a whole number"},
        {"# kelvane recording clock=0\n", "lacks the game checksum"},
        {"# kelvane recording game=1 clock=0 oops\n", "a word without '='"},
    };
    for (const auto& c : cases) {
        error.clear();
        EXPECT_FALSE(parse_recording_header(c.text, &error)) << c.text;
        EXPECT_NE(error.find(c.why), std::string::npos) << c.text << ": " << error;
    }
}

TEST(VirtualClock, TimeFollowsTheStepsAndTheSleeps) {
    auto real = std::make_unique<CountingClock>();
    CountingClock* counting = real.get();
    VirtualClock clock(std::move(real), false, 500);
    EXPECT_EQ(clock.ticks_ms(), 500);
    for (int i = 0; i < 3; ++i) clock.step_passed(30); // 33 333 microseconds each
    EXPECT_EQ(clock.ticks_ms(), 599);
    clock.step_passed(0); // a speed of 0 counts as 1 step a second
    EXPECT_EQ(clock.ticks_ms(), 1599);
    clock.sleep_ms(2000);
    clock.sleep_ms(-5);
    EXPECT_EQ(clock.ticks_ms(), 3599);
    EXPECT_EQ(counting->waited, 0) << "headless sleeps do not wait";
    EXPECT_EQ(&clock.pacing(), counting);

    VirtualClock windowed(std::make_unique<CountingClock>(), true);
    windowed.sleep_ms(40);
    EXPECT_EQ(static_cast<CountingClock&>(windowed.pacing()).waited, 40);
    EXPECT_EQ(windowed.ticks_ms(), 40);
}

TEST(VirtualClock, TheDateStartsOnTheFirstOfJanuary2000AndMovesOn) {
    VirtualClock clock(std::make_unique<CountingClock>(), false);
    std::tm t = clock.local_time();
    EXPECT_EQ(t.tm_year + 1900, 2000);
    EXPECT_EQ(t.tm_mon, 0);
    EXPECT_EQ(t.tm_mday, 1);
    EXPECT_EQ(t.tm_wday, 6); // Saturday
    EXPECT_EQ(t.tm_hour, 0);
    clock.sleep_ms((31 * 24 * 3600 + 3600 + 61) * int64_t(1000));
    t = clock.local_time();
    EXPECT_EQ(t.tm_mon, 1);
    EXPECT_EQ(t.tm_mday, 1);
    EXPECT_EQ(t.tm_hour, 1);
    EXPECT_EQ(t.tm_min, 1);
    EXPECT_EQ(t.tm_sec, 1);
    // Sleeping absurdly long stops at a far bound instead of overflowing.
    for (int i = 0; i < 4; ++i) clock.sleep_ms(INT64_MAX);
    EXPECT_GT(clock.ticks_ms(), 0);
}

TEST(Recording, TheWindowWritesWhatItDeliversWithTheStepItArrivedBefore) {
    fs::path file = fs::temp_directory_path() / ("kelvane-rec-" + std::to_string(::getpid()));
    HeadlessOptions options;
    options.input = {event(1, RScriptedEvent::mouse_move, 7, 8),
                     event(1, RScriptedEvent::key_down, 16),
                     event(3, RScriptedEvent::character, 0, 0, "hi"),
                     event(3, RScriptedEvent::key_up, 16), event(4, RScriptedEvent::close)};
    RRecordingHeader header;
    header.version = "t";
    std::string error;
    {
        auto display = RecordingDisplay::open(std::make_unique<HeadlessDisplay>(options),
                                              file.string(), header, &error);
        ASSERT_TRUE(display) << error;
        std::string second;
        EXPECT_FALSE(RecordingDisplay::open(std::make_unique<HeadlessDisplay>(options),
                                            file.string() + "2", header, &second));
        EXPECT_EQ(second, "another recording is being made");
        Collect sink;
        display->process_events(sink);
        EXPECT_TRUE(display->key_held(16));
        EXPECT_TRUE(display->key_held(160)) << "a side's code stands for the shared one";
        int32_t x = 0, y = 0;
        display->mouse_position(x, y);
        EXPECT_EQ(x, 7);
        EXPECT_EQ(y, 8);
        for (int64_t step = 1; step <= 4; ++step) {
            display->begin_step(step);
            display->process_events(sink);
        }
        EXPECT_FALSE(display->key_held(16));
        EXPECT_EQ(sink.got,
                  (std::vector<std::string>{"down 16", "char h", "char i", "up 16", "close"}));
    }
    EXPECT_EQ(slurp(file), format_recording_header(header) +
                               "\n1 key-down 16\n1 mouse-move 7 8\n3 char h\n3 char i\n"
                               "3 key-up 16\n4 close\n");
    fs::remove(file);
    EXPECT_FALSE(RecordingDisplay::open(std::make_unique<HeadlessDisplay>(options),
                                        "/nonexistent-folder/rec.txt", header, &error));
}
