// The message box: its layout for the default sizes, the picture each button state
// shows, keys and answers, the font settings and the integer rule of get_integer.
#include <gtest/gtest.h>

#include "functions/Support_Menu.h"
#include "functions/Support_Message.h"

using namespace kelvane;

TEST(MessageBox, LayoutOfTheDefaultBoxAndButtons) {
    RMessageLayout l = message_layout(320, 140, 80, 25, 21);
    EXPECT_EQ(l.buttons[0], (RRect{24, 99, 104, 124}));
    EXPECT_EQ(l.buttons[1], (RRect{120, 99, 200, 124}));
    EXPECT_EQ(l.buttons[2], (RRect{216, 99, 296, 124}));
    EXPECT_EQ(l.text, (RRect{24, 16, 296, 99}));
    EXPECT_EQ(l.input, (RRect{24, 62, 296, 83}));
    EXPECT_EQ(default_message_background().width, 320);
    EXPECT_EQ(default_message_background().height, 140);
    for (int32_t look = 0; look < 3; ++look) {
        EXPECT_EQ(default_message_button(look).width, 80);
        EXPECT_EQ(default_message_button(look).height, 25);
    }
}

namespace {

// Draws one frame of the form with the input and returns the pixel colour at (x, y).
struct Frame {
    RMessageSettings settings;
    CFonts fonts;
    RUiState state;
    DDSurface surface;
    Frame() { surface.create(320, 140, false, 0, false); }
    void draw(TForm& form, const RUiInput& in) {
        CUi ui(surface, fonts, state, in);
        form.frame(ui);
    }
};

Bitmap24 solid(uint32_t colour) {
    Bitmap24 b;
    b.width = 80, b.height = 25;
    b.pixels.resize(80 * 25 * 3);
    for (size_t i = 0; i < b.pixels.size(); i += 3) {
        b.pixels[i] = uint8_t(colour >> 16), b.pixels[i + 1] = uint8_t(colour >> 8);
        b.pixels[i + 2] = uint8_t(colour);
    }
    return b;
}

} // namespace

TEST(MessageBox, EachButtonStateShowsItsPictureAndAClickClosesWithItsNumber) {
    Frame f;
    f.settings.buttons = std::array<Bitmap24, 3>{solid(0x0000FF), solid(0x00FF00), solid(0xFF0000)};
    TMessageForm form(f.settings, "Pick", {"A", "B", "C"});
    RUiInput away;
    f.draw(form, away);
    EXPECT_EQ(f.surface.get_pixel(26, 101), 0x0000FFu); // normal
    RUiInput over;
    over.mouse_x = 26, over.mouse_y = 101;
    f.draw(form, over);
    EXPECT_EQ(f.surface.get_pixel(26, 101), 0x00FF00u); // mouse over
    EXPECT_EQ(f.surface.get_pixel(122, 101), 0x0000FFu);
    RUiInput press = over;
    press.mouse_pressed = press.mouse_held = true;
    f.draw(form, press);
    EXPECT_EQ(f.surface.get_pixel(26, 101), 0xFF0000u); // pressed
    EXPECT_FALSE(form.closed);
    RUiInput release = over;
    release.mouse_released = true;
    f.draw(form, release);
    EXPECT_TRUE(form.closed);
    EXPECT_EQ(form.result, 1);
}

TEST(MessageBox, EnterEscapeAndAnswers) {
    struct Case {
        std::array<std::string, 3> captions;
        std::vector<int32_t> keys;
        std::string answer; // used when no keys
        int32_t result;
    } cases[] = {
        {{"Yes", "", "No"}, {13}, "", 1}, {{"Yes", "", "No"}, {27}, "", 0},
        {{"Yes", "", "No"}, {}, "No", 3}, {{"Yes", "", "No"}, {}, "yes", 1},
        {{"a", "b", "c"}, {}, "2", 2},    {{"a", "b", "c"}, {}, "0", 0},
        {{"", "OK", ""}, {}, "", 1},
    };
    for (const auto& c : cases) {
        Frame f;
        TMessageForm form(f.settings, "?", c.captions);
        if (c.keys.empty()) {
            form.answer(c.answer);
        } else {
            RUiInput in;
            in.keys = c.keys;
            f.draw(form, in);
        }
        EXPECT_TRUE(form.closed);
        EXPECT_EQ(form.result, c.result) << c.answer;
    }
}

TEST(MessageBox, TheInputFieldTakesTypingBackspaceAndPaste) {
    Frame f;
    TMessageForm form(f.settings, "Name?", {"", "OK", ""}, true, "Bob");
    RUiInput first; // the default starts selected: typing replaces it
    first.text = "Al";
    f.draw(form, first);
    EXPECT_EQ(form.field, "Al");
    RUiInput more;
    more.keys = {8};
    f.draw(form, more);
    RUiInput paste;
    paste.ctrl = true;
    paste.ctrl_keys = {'V'};
    paste.clipboard = "ice\r\n";
    f.draw(form, paste);
    EXPECT_EQ(form.field, "Aice");
    RUiInput enter;
    enter.keys = {13};
    f.draw(form, enter);
    EXPECT_TRUE(form.closed);
}

TEST(MessageBox, FontChangesKeepWhatIsNotGiven) {
    RMessageFont font;
    font.change("", -1, -1, 7);
    EXPECT_EQ(font.name, "Arial");
    EXPECT_EQ(font.points, 10);
    EXPECT_EQ(font.style, 0);
    font.change("Courier New", 14, 255, 3);
    EXPECT_EQ(font.name, "Courier New");
    EXPECT_EQ(font.points, 14);
    EXPECT_EQ(font.colour, 255u);
    EXPECT_TRUE(font.canvas_font().spec.bold && font.canvas_font().spec.italic);
}

TEST(MessageBox, IntegersOfTypedText) {
    struct Case {
        const char* text;
        std::optional<int32_t> value;
    } cases[] = {{"42", 42},
                 {" -7 ", -7},
                 {"+3", 3},
                 {"abc", std::nullopt},
                 {"", std::nullopt},
                 {"1.5", std::nullopt},
                 {"-", std::nullopt},
                 {"2147483647", 2147483647},
                 {"2147483648", std::nullopt},
                 {"-2147483648", INT32_MIN},
                 {"99999999999999999999", std::nullopt}};
    for (const auto& c : cases) EXPECT_EQ(parse_integer(c.text), c.value) << c.text;
}

TEST(Menu, SeparatorsHaveNoNumber) {
    auto e = menu_entries("Open|-|Save|Quit");
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[0].number, 0);
    EXPECT_EQ(e[1].number, -1);
    EXPECT_EQ(e[2].number, 1);
    EXPECT_EQ(e[3].number, 2);
    TMenuForm form(e);
    form.answer("Quit");
    EXPECT_EQ(form.chosen, 2);
    TMenuForm none(e);
    none.answer("-");
    EXPECT_EQ(none.chosen, -1);
}

// A menu opened near the picture's right or bottom edge opens to the left of or above the
// mouse, so that all of it shows.
TEST(Menu, OpensWhereItFitsOnThePicture) {
    struct Case {
        int32_t x, y, w, h, px, py;
    } cases[] = {
        {100, 100, 120, 80, 100, 100}, // room enough: at the mouse
        {600, 100, 120, 80, 480, 100}, // too near the right edge: to the left
        {100, 450, 120, 80, 100, 370}, // too near the bottom: above
        {630, 470, 120, 80, 510, 390}, // the corner: both
        {50, 100, 700, 80, 0, 100},    // wider than the picture: from its left edge
        {-20, -5, 120, 80, 0, 0},      // a mouse outside the picture
    };
    for (const auto& c : cases) {
        RFormPlace p = menu_place(c.x, c.y, c.w, c.h, 640, 480);
        EXPECT_EQ(p.kind, RFormPlace::at);
        EXPECT_EQ(p.x, c.px) << c.x << "," << c.y;
        EXPECT_EQ(p.y, c.py) << c.x << "," << c.y;
    }
}
