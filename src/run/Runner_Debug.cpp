// The error report: text, dialog and log; the watch grid and the debug buttons' rules.
#include "run/Runner_Debug.h"

#include <cmath>
#include <cstdio>

#include "code/Code_Class.h"
#include "code/Code_Main.h"
#include "platform/Platform.h"
#include "run/Runtime.h"

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

std::string watch_value_text(const RValue& v) {
    if (v.is_string()) return v.str.str();
    const double x = v.real;
    if (std::isnan(x)) return "NAN";
    if (std::isinf(x)) return x > 0 ? "INF" : "-INF";
    char buf[400];
    if (x == std::floor(x)) {
        if (std::fabs(x) < 9.2e18)
            std::snprintf(buf, sizeof buf, "%lld", (long long)x);
        else
            std::snprintf(buf, sizeof buf, "%.0f", x);
        return buf;
    }
    if (std::fabs(x) < 1e10) {
        std::snprintf(buf, sizeof buf, "%.2f", x);
        // A tiny negative number rounds to zero without a sign.
        if (std::string(buf) == "-0.00") return "0.00";
        return buf;
    }
    // More than 10 digits before the point: 10 significant digits with an exponent.
    std::snprintf(buf, sizeof buf, "%.9E", x);
    std::string t = buf;
    size_t e = t.find('E');
    std::string mantissa = t.substr(0, e), exponent = t.substr(e + 1);
    while (mantissa.back() == '0') mantissa.pop_back();
    if (mantissa.back() == '.') mantissa.pop_back();
    int exp = std::atoi(exponent.c_str());
    return mantissa + "E" + std::to_string(exp);
}

CWatchGrid::CWatchGrid() = default;
CWatchGrid::~CWatchGrid() = default;

void CWatchGrid::select(int32_t row) {
    if (row >= 1 && row < row_count()) selected_ = row;
}

const std::string& CWatchGrid::expression(int32_t row) const {
    static const std::string none;
    return row >= 1 && row <= watch_count() ? rows_[size_t(row - 1)].text : none;
}

const std::string& CWatchGrid::value(int32_t row) const {
    static const std::string none;
    return row >= 1 && row <= watch_count() ? rows_[size_t(row - 1)].value : none;
}

void CWatchGrid::add(const std::string& text) {
    if (text.empty()) return;
    rows_.push_back(Row{text, "", nullptr});
}

void CWatchGrid::change(int32_t row, const std::string& text) {
    if (row == row_count() - 1) return add(text);
    if (row < 1 || row > watch_count()) return;
    Row& r = rows_[size_t(row - 1)];
    r.text = text;
    r.code.reset();
}

void CWatchGrid::delete_selected() {
    if (selected_ < 1 || selected_ > watch_count()) return;
    rows_.erase(rows_.begin() + (selected_ - 1));
}

void CWatchGrid::delete_all() {
    rows_.clear();
    selected_ = 1;
}

void CWatchGrid::refresh(Runtime& rt) {
    for (Row& r : rows_) {
        if (!r.code) r.code = std::make_unique<CCode>(r.text, rt);
        r.value = watch_value_text(evaluate_silently(rt, nullptr, nullptr, *r.code));
    }
}

std::vector<std::string> CWatchGrid::values() const {
    std::vector<std::string> out;
    for (const Row& r : rows_) out.push_back(r.value);
    return out;
}

void debug_buttons_paused(RDebugButtons& b) {
    b.run = b.step = true;
    b.pause = b.restart = false;
}

void debug_buttons_running(RDebugButtons& b) {
    b.run = b.step = false;
    b.pause = b.restart = true;
}

} // namespace kelvane
