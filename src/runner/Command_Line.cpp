// The argument walk shared by every command, and the "did you mean" of mistyped names.
#include "runner/Command_Line.h"

#include <algorithm>
#include <charconv>

namespace kelvane {

CommandLine::CommandLine(std::string command, const Args& args)
    : command_(std::move(command)), args_(args) {}

bool CommandLine::next() {
    if (started_) ++i_;
    started_ = true;
    return i_ < args_.size();
}

bool CommandLine::matches(std::string_view name, bool& inline_value) const {
    const std::string& a = arg();
    inline_value = false;
    if (a == name) return true;
    // Only long options carry their value after '='; "-o=x" would be a file named "=x".
    if (name.substr(0, 2) == "--" && a.size() > name.size() &&
        a.compare(0, name.size(), name) == 0 && a[name.size()] == '=') {
        inline_value = true;
        return true;
    }
    return false;
}

bool CommandLine::flag(std::string_view name) {
    bool inline_value = false;
    if (!matches(name, inline_value)) return false;
    if (inline_value) fail(std::string(name) + " takes no value");
    return true;
}

bool CommandLine::option(std::string_view name, std::string& value) {
    bool inline_value = false;
    if (!matches(name, inline_value)) return false;
    if (inline_value) {
        value = arg().substr(name.size() + 1);
    } else {
        if (i_ + 1 >= args_.size()) fail(std::string(name) + " needs a value");
        value = args_[++i_];
    }
    return true;
}

bool CommandLine::number(std::string_view name, int64_t& value, int64_t min, int64_t max) {
    std::string text;
    if (!option(name, text)) return false;
    const char* b = text.data();
    const char* e = b + text.size();
    auto r = std::from_chars(b, e, value);
    if (r.ec != std::errc() || r.ptr != e || value < min || value > max) {
        std::string range = max == INT64_MAX
                                ? "of " + std::to_string(min) + " or more"
                                : "from " + std::to_string(min) + " to " + std::to_string(max);
        fail(std::string(name) + " needs a whole number " + range + ", not '" + text + "'");
    }
    return true;
}

bool CommandLine::plain() const {
    const std::string& a = arg();
    return a.empty() || a[0] != '-' || a == "-";
}

Args CommandLine::rest() {
    Args r(args_.begin() + long(i_) + 1, args_.end());
    i_ = args_.size();
    return r;
}

void CommandLine::fail(const std::string& message) const {
    throw UsageError(command_, message);
}

void CommandLine::unknown() const {
    const std::string& a = arg();
    if (plain()) fail("unexpected argument '" + a + "'");
    fail("unknown option " + (a.substr(0, 2) == "--" ? a.substr(0, a.find('=')) : a));
}

namespace {

// Edits (insert, delete, replace, swap two neighbours) that turn a into b.
size_t edit_distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                                d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

} // namespace

std::string closest_name(const std::string& typed, const std::vector<std::string>& names) {
    // A long word typed by mistake is not compared at all: the table would be huge.
    if (typed.size() > 64) return {};
    std::string best;
    size_t best_distance = 3; // two slips at most
    for (const auto& n : names) {
        size_t d = edit_distance(typed, n);
        if (d < best_distance) best = n, best_distance = d;
    }
    return best;
}

} // namespace kelvane
