// Transitions: the copy rule of each kind step by step, the stripe order, the number of
// copies with their pauses, and the whole new picture at the end.
#include <gtest/gtest.h>

#include <functional>

#include "Pixel_Art.h"
#include "graphics/Graphics_Main.h"
#include "graphics/Graphics_Transition.h"
#include "platform/headless/Headless_Platform.h"

using namespace kelvane;
using namespace kelvane::testing;

namespace {

// The screen after steps 1 ... upto of a transition from `old_rows` to `new_rows` at
// scale 1 from the corner.
Rows after_steps(const Rows& old_rows, const Rows& new_rows, int32_t kind, int32_t n,
                 int32_t upto) {
    DDSurface screen = surface_of(old_rows);
    DDSurface picture = surface_of(new_rows);
    for (int32_t i = 1; i <= upto; ++i) transition_step(screen, picture, kind, i, n, 1, 0, 0);
    return rows_of(screen);
}

const Rows old8 = {"wwwwwwww"};
const Rows new8 = {"rgbyrgby"};

} // namespace

TEST(Transitions, CopiesPerKindAndSteps) {
    EXPECT_EQ(transition_copies(1, 4), 4);
    EXPECT_EQ(transition_copies(13, 4), 4);
    EXPECT_EQ(transition_copies(14, 5), 10);
    EXPECT_EQ(transition_copies(17, 1), 2);
    EXPECT_EQ(transition_copies(0, 4), 0);
    EXPECT_EQ(transition_copies(18, 4), 0);
    EXPECT_EQ(transition_copies(20, 4), 0);
    EXPECT_EQ(transition_copies(3, 0), 0);
    EXPECT_EQ(transition_copies(3, -2), 0);
}

TEST(Transitions, EachKindCopiesItsPartOfTheNewPicture) {
    struct Case {
        int32_t kind, n, upto;
        Rows old_rows, new_rows, expected;
    };
    const Rows old4 = {"wwww", "wwww", "wwww", "wwww"};
    const Rows new4 = {"rgby", "gbyr", "byrg", "yrgb"};
    const Case cases[] = {
        {1, 4, 1, old8, new8, {"rgwwwwww"}}, // grows from the left
        {1, 4, 3, old8, new8, {"rgbyrgww"}},
        {2, 4, 1, old8, new8, {"wwwwwwby"}}, // from the right
        {3, 4, 1, old4, new4, {"rgby", "wwww", "wwww", "wwww"}},
        {4, 4, 1, old4, new4, {"wwww", "wwww", "wwww", "yrgb"}},
        {5, 2, 1, old4, new4, {"wwww", "wbyw", "wyrw", "wwww"}}, // from the centre
        {6, 4, 1, old8, new8, {"bywwwwww"}},                     // slides in from the left
        {6, 4, 3, old8, new8, {"byrgbyww"}},                     // at x = -8 + 6
        {7, 4, 1, old8, new8, {"wwwwwwrg"}},                     // from the right
        {8, 4, 1, old4, new4, {"yrgb", "wwww", "wwww", "wwww"}},
        {9, 4, 1, old4, new4, {"wwww", "wwww", "wwww", "rgby"}},
        // The pushing kinds move the displayed picture first.
        {10, 4, 1, {"kzocwkzo"}, new8, {"bykzocwk"}},
        {11, 4, 1, {"kzocwkzo"}, new8, {"ocwkzorg"}},
        {12, 2, 1, {"kz", "oc", "wy", "ko"}, {"rg", "by", "gr", "yb"}, {"gr", "yb", "kz", "oc"}},
        {13, 2, 1, {"kz", "oc", "wy", "ko"}, {"rg", "by", "gr", "yb"}, {"wy", "ko", "rg", "by"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(after_steps(c.old_rows, c.new_rows, c.kind, c.n, c.upto), c.expected)
            << "kind " << c.kind << " step " << c.upto;
}

TEST(Transitions, StripesComeOddFirstThenEven) {
    // Kind 14 with 5 steps on a 640-pixel picture: 10 stripes 65 wide, 1 3 5 7 9 first.
    DDSurface screen = blank(640, 1);
    DDSurface picture = blank(640, 1);
    picture.fill(colour_of('w'));
    std::vector<std::pair<int32_t, int32_t>> stripes;
    const int32_t n = transition_copies(14, 5);
    for (int32_t i = 1; i <= n; ++i) {
        DDSurface before = screen;
        transition_step(screen, picture, 14, i, n, 1, 0, 0);
        int32_t first = -1, last = -1;
        for (int32_t x = 0; x < 640; ++x)
            if (screen.get_pixel(x, 0) != before.get_pixel(x, 0)) {
                if (first < 0) first = x;
                last = x;
            }
        stripes.emplace_back(first, last + 1);
    }
    EXPECT_EQ(stripes, (std::vector<std::pair<int32_t, int32_t>>{{65, 130},
                                                                 {195, 260},
                                                                 {325, 390},
                                                                 {455, 520},
                                                                 {585, 640},
                                                                 {0, 65},
                                                                 {130, 195},
                                                                 {260, 325},
                                                                 {390, 455},
                                                                 {520, 585}}));
}

TEST(Transitions, EveryKindEndsWithTheWholeNewPicture) {
    const Rows old_rows = {"wwwwwwwwww", "wwwwwwwwww", "wwwwwwwwww"};
    const Rows new_rows = {"rgbyrgbyrg", "gbyrgbyrgb", "byrgbyrgby"};
    for (int32_t kind = 1; kind <= 17; ++kind)
        for (int32_t steps : {1, 3, 7, 12}) {
            DDSurface screen = surface_of(old_rows);
            DDSurface picture = surface_of(new_rows);
            perform_transition(screen, picture, kind, 0, steps, 1, 0, 0, {});
            EXPECT_EQ(rows_of(screen), new_rows) << "kind " << kind << " steps " << steps;
            EXPECT_EQ(rows_of(picture), new_rows); // the picture itself is not changed
        }
}

TEST(Transitions, ScaleAndOriginPlaceTheCopies) {
    // Picture 4 x 1 shown at scale 2 from (1, 0) on a screen whose clip is that placement.
    DDSurface screen = blank(10, 2);
    screen.clip = {1, 0, 9, 2};
    DDSurface picture = surface_of({"rgby"});
    transition_step(screen, picture, 1, 1, 2, 2, 1, 0); // columns 0 .. 2
    EXPECT_EQ(rows_of(screen), (Rows{".rrgg.....", ".rrgg....."}));
    transition_step(screen, picture, 6, 1, 2, 2, 1, 0); // slides: x = 1 - 8 + 4
    EXPECT_EQ(rows_of(screen), (Rows{".bbyy.....", ".bbyy....."}));
}

TEST(Transitions, EachStepWaitsForTheBlankThenPausesTimeOverCopies) {
    DDSurface screen = blank(8, 1), picture = surface_of(new8);
    std::vector<std::string> calls;
    RTransitionHooks hooks;
    hooks.wait_vertical_blank = [&] { calls.push_back("blank"); };
    hooks.present = [&] { calls.push_back("present"); };
    hooks.pause = [&](int64_t ms) { calls.push_back(std::to_string(ms)); };
    perform_transition(screen, picture, 6, 200, 4, 1, 0, 0, hooks);
    std::vector<std::string> one_step = {"blank", "present", "50"};
    std::vector<std::string> expected;
    for (int i = 0; i < 4; ++i) expected.insert(expected.end(), one_step.begin(), one_step.end());
    EXPECT_EQ(calls, expected);
}

TEST(Transitions, ThroughTheDisplayHeadlessRunsWithoutWaitingAndKeepsTheBuffer) {
    HeadlessDisplay window({});
    CDisplay d;
    RDisplaySetup s;
    s.buffer_width = 8;
    s.buffer_height = 1;
    ASSERT_TRUE(d.initialise(window, s));
    d.buffer().draw_bitmap(bitmap_of({"wwwwwwww"}), 0, 0);
    d.refresh(0, 0, 0);
    d.buffer().draw_bitmap(bitmap_of(new8), 0, 0);
    d.refresh(14, 300, 5);
    EXPECT_EQ(window.presented(), 1 + 10);
    EXPECT_EQ(window.vertical_blanks(), 10);
    EXPECT_EQ(window.pauses(), std::vector<int64_t>(10, 30));
    EXPECT_EQ(rows_of(window.last_picture()), new8);
    EXPECT_EQ(rows_of(d.buffer()), new8);
}

TEST(Transitions, StartFromThePictureShownHoweverTheBufferWasRedrawn) {
    // The buffer is shown without a copy; a transition must still start from what was
    // shown, whether the next picture began with a fill, a drawing or no change at all.
    struct Recording : HeadlessDisplay {
        Recording() : HeadlessDisplay({}) {}
        std::vector<Rows> shown;
        void present(const Image32& picture, const RPlacement& placement) override {
            shown.push_back(rows_of(picture));
            HeadlessDisplay::present(picture, placement);
        }
    };
    struct Case {
        const char* what;
        std::function<void(CDisplay&)> redraw;
        Rows first_step; // kind 6 in 4 steps: the new picture's last quarter slides in
    };
    const Case cases[] = {
        {"fill", [](CDisplay& d) { d.clear_buffer(true, colour_of('y')); }, {"yywwwwww"}},
        {"fill, then drawing",
         [](CDisplay& d) {
             d.clear_buffer(true, colour_of('y'));
             d.buffer().draw_bitmap(bitmap_of(new8), 0, 0);
         },
         {"bywwwwww"}},
        {"drawing", [](CDisplay& d) { d.buffer().set_pixel(7, 0, colour_of('r')); }, {"wrwwwwww"}},
        {"nothing", [](CDisplay&) {}, {"wwwwwwww"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Recording window;
        CDisplay d;
        RDisplaySetup s;
        s.buffer_width = 8;
        s.buffer_height = 1;
        ASSERT_TRUE(d.initialise(window, s));
        d.clear_buffer(true, colour_of('w'));
        d.refresh(0, 0, 0);
        c.redraw(d);
        const Rows next = rows_of(d.buffer());
        d.refresh(6, 0, 4);
        ASSERT_EQ(window.shown.size(), 1u + 4u);
        EXPECT_EQ(window.shown[0], (Rows{"wwwwwwww"}));
        EXPECT_EQ(window.shown[1], c.first_step);
        EXPECT_EQ(window.shown[4], next);
    }
}
