// Error reporting of the running game: the composed text that says where an error
// happened, the dialog, the error log file, and whether the game must end.
#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

class Dialogs;

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

} // namespace kelvane
