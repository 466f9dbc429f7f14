// Our own windows shown over the game: a form draws itself one frame at a time with the
// widget layer; the host places it on the game's picture (centred, at a position, or
// over all of it, scaled down when it is larger than the picture), draws its dialog
// border, and runs the modal loop that keeps the game window responsive (painting,
// resizing, its close button, F4) while the game does not step. A run given the
// player's answers (`run --answers`) answers a form at once with the next line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "graphics/Form_Widgets.h"

namespace kelvane {

struct Runtime;

class TForm {
  public:
    virtual ~TForm() = default;
    virtual int32_t client_width() const = 0;
    virtual int32_t client_height() const = 0;
    // The title of a dialog border; nullopt for a form without a border.
    virtual std::optional<std::string> caption() const { return std::nullopt; }
    // Draws the client area (0, 0, client width, client height) and reacts to the input.
    virtual void frame(CUi& ui) = 0;
    // The player closed the window with a close button.
    virtual void close_request() { closed = true; }
    // The player's answer from the answers file: the form takes it as the player would
    // have given it and closes.
    virtual void answer(const std::string& line) = 0;
    // Whether the form asks the player anything an answer could give (a table with
    // nothing to type takes none).
    virtual bool takes_answer() const { return true; }
    // The answer line that closes the form as the player closed it (a recording keeps it,
    // so that a replay answers the same).
    virtual std::string answer_line() const { return ""; }

    bool closed = false;
};

struct RFormPlace {
    enum Kind { centred, at, cover } kind = centred;
    int32_t x = 0, y = 0; // for `at`: the top-left corner on the game's picture
};

enum class FormOutcome {
    not_shown, // no window (headless without answers, no display): the caller's default
    answered,  // taken from the answers file
    shown,     // the player answered in the window
};

// The height of a dialog border's title bar and the width of its frame.
constexpr int32_t form_title_height = 18, form_frame = 3;

// Shows the form until it closes. Afterwards the key and mouse-button states of the game
// are cleared (the last key, character and typed text stay).
FormOutcome show_form(Runtime& rt, TForm& form, RFormPlace place = {});

// The next line of the answers file, when the run was given one with lines left.
std::optional<std::string> next_answer(Runtime& rt);

// Reads an answers file: one answer a line (a final line feed ends the last line;
// carriage returns before a line feed are dropped), Windows-1252 bytes as they are.
// Nullopt with the reason when it cannot be read or is larger than `max_answers_bytes`.
constexpr size_t max_answers_bytes = 16 << 20;
std::optional<std::vector<std::string>> read_answers_file(const std::string& path,
                                                          std::string* error);

} // namespace kelvane
