// The message box (TMessageForm) with its picture buttons (TMyButton): messages,
// questions, boxes with up to three buttons and input boxes, and the settings the message
// functions make, which stay for the rest of the game.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "graphics/Form_Host.h"
#include "graphics/Graphics_GDI.h"

namespace kelvane {

struct Runtime;

// A font of the box as the message functions set it: a size in points.
struct RMessageFont {
    std::string name = "Arial";
    int32_t points = 10;
    uint32_t colour = 0;
    int32_t style = 0; // 0 normal, 1 bold, 2 italic, 3 bold and italic
    RCanvasFont canvas_font() const;
    // message_*_font: an empty name, a negative size or colour keep what is there; style
    // 0 ... 3 sets it, other values keep it.
    void change(const std::string& new_name, int32_t new_points, int32_t new_colour,
                int32_t new_style);
};

struct RMessageSettings {
    std::optional<Bitmap24> background; // the game's; else our own 320 x 140 picture
    // The game's button pictures (normal, mouse over, pressed); else our own 80 x 25.
    std::optional<std::array<Bitmap24, 3>> buttons;
    std::optional<uint32_t> button_key; // the see-through colour of transparent pictures
    RMessageFont text_font, button_font{"Arial", 10, 0, 1}, input_font;
    std::optional<uint32_t> mouse_colour; // unset: the button font's colour
    uint32_t input_colour = 16744576;
    std::optional<std::pair<int32_t, int32_t>> position; // on the game's picture
    bool show_caption = false;
    std::string caption;
};

// Our own pictures.
Bitmap24 default_message_background(); // 320 x 140
Bitmap24 default_message_button(int32_t look);

// The component rectangles of a box for a client size and button size.
struct RMessageLayout {
    RRect text, input;
    std::array<RRect, 3> buttons;
};
RMessageLayout message_layout(int32_t client_w, int32_t client_h, int32_t button_w,
                              int32_t button_h, int32_t input_h);

class TMessageForm : public TForm {
  public:
    // Buttons 1 ... 3 with their captions (an empty caption hides the button); with
    // `input`, an input field holding `field` above them.
    TMessageForm(const RMessageSettings& settings, std::string text,
                 std::array<std::string, 3> captions, bool input = false, std::string field = "");

    int32_t client_width() const override { return background_.width; }
    int32_t client_height() const override { return background_.height; }
    std::optional<std::string> caption() const override;
    void frame(CUi& ui) override;
    void close_request() override;
    // A button number (0 as Escape), or a button's caption; an empty line is Enter. An
    // input box takes the line as the typed text.
    void answer(const std::string& line) override;
    std::string answer_line() const override { return input_ ? field : std::to_string(result); }

    int32_t result = 0; // the button pressed: 1 ... 3, 1 for Enter, 0 for Escape
    std::string field;  // the input field's text

  private:
    const RMessageSettings& settings_;
    std::string text_;
    std::array<std::string, 3> captions_;
    bool input_;
    Bitmap24 background_;
    std::array<Bitmap24, 3> pictures_;
    void close_with(int32_t r);
    int32_t input_height() const;
};

// The boxes as the functions and actions show them. Headless, the text also goes to
// stderr. Without a window (exclusive mode, headless without answers) they answer at once
// with the given default.
int32_t show_message_box(Runtime& rt, const std::string& text, std::array<std::string, 3> captions,
                         int32_t no_window_result);
// A question with the buttons Yes (left) and No (right): true for Yes or Enter; true
// without a window.
bool show_question(Runtime& rt, const std::string& text);
// An input box; the typed text, or nullopt when no box was shown.
std::optional<std::string> show_input_box(Runtime& rt, const std::string& text,
                                          const std::string& field);

// The integer an input box's text stands for: optional blanks and sign, then digits,
// within 32 bits; nullopt otherwise.
std::optional<int32_t> parse_integer(const std::string& text);

// "#" in a shown text is a line break.
std::string hash_to_line_breaks(std::string text);

} // namespace kelvane
