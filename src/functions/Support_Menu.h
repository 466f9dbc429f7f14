// The pop-up menu of show_menu: entries split at "|", "-" a separator without a number,
// shown at the mouse and driven by the mouse or the keys.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/Form_Host.h"

namespace kelvane {

struct Runtime;

struct RMenuEntry {
    std::string text;
    int32_t number = -1; // -1 for a separator
};

// The entries of a menu text: numbered 0, 1, 2 ... in order, separators left out of the
// count.
std::vector<RMenuEntry> menu_entries(const std::string& items);

class TMenuForm : public TForm {
  public:
    explicit TMenuForm(std::vector<RMenuEntry> entries);
    int32_t client_width() const override { return width_; }
    int32_t client_height() const override;
    void frame(CUi& ui) override;
    // An entry's number or its text; anything else closes without a choice.
    void answer(const std::string& line) override;
    std::string answer_line() const override { return std::to_string(chosen); }

    int32_t chosen = -1; // the number of the chosen entry, -1 when none was chosen

  private:
    std::vector<RMenuEntry> entries_;
    int32_t width_ = 120;
    int32_t selected_ = -1; // index into entries_
    void move(int32_t by);
};

// Where a menu of w x h opens for the mouse at (x, y) on a picture of pw x ph: its corner
// at the mouse, or, where it would not fit, on the other side of the mouse (to the left,
// above), and within the picture in any case.
RFormPlace menu_place(int32_t x, int32_t y, int32_t w, int32_t h, int32_t pw, int32_t ph);

// show_menu: the chosen entry's number, or `fallback` when none was chosen.
int32_t show_menu(Runtime& rt, const std::string& items, int32_t fallback);

} // namespace kelvane
