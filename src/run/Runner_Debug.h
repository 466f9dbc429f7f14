// Error reporting of the running game: the composed text that says where an error
// happened, the dialog, the error log file, and whether the game must end. Also what the
// debug window shows and keeps, apart from its drawing: the watch grid with its values and
// the rules that enable its buttons.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kelvane {

class Dialogs;
class CCode;
struct RValue;
struct Runtime;

// Where the running game is when an error is reported.
struct ErrorPlace {
    int32_t action_number = 0; // from 0
    std::string event_name;
    std::string object_name; // "<undefined>" when there is no event object
};

// The options that decide how an error is shown.
struct ErrorOptions {
    bool show_errors = true;
    bool log_errors = false;
    bool abort_on_error = false;
    bool exclusive_mode = false;
    std::string log_file = "game_errors.log"; // host path of the error log
};

// "FATAL " (when fatal) "ERROR in" ... then the message, lines ending in CR LF.
std::string compose_error(const std::string& message, bool fatal, const ErrorPlace& place);

// What a report decided.
struct ErrorOutcome {
    std::string text;   // the composed text (becomes error_last)
    bool fatal = false; // the game must end
};

// The report operation for a running game: composes the text, shows the dialog as the
// options say (Abort on a non-fatal error makes it fatal), appends to "game_errors.log"
// in the working directory when logging (replacing the file on the run's first logged
// error, as `first_error` says, which it then clears). Log failures are ignored.
ErrorOutcome report_running_error(const std::string& message, bool fatal, const ErrorPlace& place,
                                  const ErrorOptions& options, Dialogs& dialogs, bool& first_error);

// ---- the debug window's model ----

// What a watch shows for a value: a string as it is, a whole number as an integer, any
// other number in fixed notation with 2 decimals (with 10 significant digits at most
// before the point; larger ones in scientific notation).
std::string watch_value_text(const RValue& v);

// The watch grid: row 0 is the header, rows 1 ... row_count() - 2 hold one expression
// each with its value, and the last row is always empty (an empty grid has 2 rows).
class CWatchGrid {
  public:
    CWatchGrid();
    ~CWatchGrid();
    int32_t row_count() const { return int32_t(rows_.size()) + 2; }
    int32_t watch_count() const { return int32_t(rows_.size()); }
    // The selected row (1 ... row_count() - 1; the last row is the empty one).
    int32_t selected() const { return selected_; }
    void select(int32_t row);
    bool empty_row_selected() const { return selected_ == row_count() - 1; }
    // The cells of a row; empty for the header, the empty last row and rows out of range.
    const std::string& expression(int32_t row) const;
    const std::string& value(int32_t row) const;

    // Adds a watch in the row before the empty last row; an empty text adds nothing.
    void add(const std::string& text);
    // Replaces the text of a watch row; on the empty last row it adds instead.
    void change(int32_t row, const std::string& text);
    // Deletes the selected row (the rows below move up); nothing on the empty last row.
    void delete_selected();
    void delete_all();

    // Evaluates every watch silently with no self and no other: a failing one shows
    // "ERROR". Each text is compiled once, when it is set.
    void refresh(Runtime& rt);
    // The values as `refresh` left them, one per watch row in order.
    std::vector<std::string> values() const;

  private:
    struct Row {
        std::string text, value;
        std::unique_ptr<CCode> code; // compiled on the first refresh after a change
    };
    std::vector<Row> rows_;
    int32_t selected_ = 1;
};

// Which of the debug window's buttons may be pressed.
struct RDebugButtons {
    bool restart = true, run = false, pause = true, step = false, stop = true;
};
// Pausing enables Run and Step and disables Pause and Restart; running again the reverse.
void debug_buttons_paused(RDebugButtons& b);
void debug_buttons_running(RDebugButtons& b);

} // namespace kelvane
