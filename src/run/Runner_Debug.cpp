// The error report: text, dialog and log.
#include "run/Runner_Debug.h"

#include <cstdio>

#include "platform/Platform.h"

namespace kelvane {

std::string compose_error(const std::string& message, bool fatal, const ErrorPlace& place) {
    std::string t = fatal ? "FATAL " : "";
    t += "ERROR in\r\n";
    t += "action number " + std::to_string(place.action_number + 1) + "\r\n";
    t += "of " + place.event_name + "\r\n";
    t += "for object " + place.object_name + ":\r\n\r\n";
    t += message;
    return t;
}

ErrorOutcome report_running_error(const std::string& message, bool fatal, const ErrorPlace& place,
                                  const ErrorOptions& options, Dialogs& dialogs,
                                  bool& first_error) {
    ErrorOutcome out;
    out.fatal = fatal || options.abort_on_error;
    out.text = compose_error(message, out.fatal, place);
    if (options.show_errors && !options.exclusive_mode) {
        bool abort = dialogs.show_error(out.text, !out.fatal);
        if (abort) out.fatal = true;
    }
    if (options.log_errors) {
        if (std::FILE* f = std::fopen(options.log_file.c_str(), first_error ? "wb" : "ab")) {
            std::string entry = out.text + "\r\n\r\n\r\n";
            std::fwrite(entry.data(), 1, entry.size(), f);
            std::fclose(f);
        }
    }
    first_error = false;
    return out;
}

} // namespace kelvane
