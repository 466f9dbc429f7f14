// The game information window (THelpForm): the game's rich-text document laid out with
// word wrap on the section's background colour, scrolled with the keys, the wheel and a
// scroll bar; in a box of its own or over the whole game picture (help_in_window). Esc
// closes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/Form_Host.h"
#include "graphics/Graphics_GDI.h"
#include "graphics/Help_Rtf.h"

namespace kelvane {

struct Runtime;
struct GameInformation;

// One piece of a laid-out line: text in one style at x.
struct RLaidPiece {
    int32_t x = 0;
    RCanvasFont font;
    std::string text;
};
struct RLaidLine {
    int32_t y = 0, height = 0, ascent = 0;
    std::vector<RLaidPiece> pieces;
};

// Lays the document out at the width: words wrapped, tabs to the next multiple of 48
// pixels, paragraphs aligned. Arial at 16 pixels in black is the default font.
std::vector<RLaidLine> layout_document(const RRtfDocument& doc, int32_t width, CFonts& fonts);

class THelpForm : public TForm {
  public:
    // `cover`: the picture's size, without a border (help_in_window).
    THelpForm(const GameInformation& info, bool cover, int32_t width, int32_t height);
    int32_t client_width() const override { return width_; }
    int32_t client_height() const override { return height_; }
    std::optional<std::string> caption() const override;
    void frame(CUi& ui) override;
    // Any answer closes it.
    void answer(const std::string&) override { closed = true; }

  private:
    RRtfDocument doc_;
    uint32_t back_;
    bool cover_;
    int32_t width_, height_;
    std::vector<RLaidLine> lines_;
    int32_t laid_width_ = -1;
    int32_t scroll_ = 0;
};

// F1, the game-information action and show_info: nothing in exclusive mode.
void show_game_information(Runtime& rt);

} // namespace kelvane
