// Reading and delivering scripted input.
#include "platform/Scripted_Input.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

#include "platform/Text_Encoding.h"

namespace kelvane {

namespace {

bool parse_number(const std::string& word, int64_t lo, int64_t hi, int64_t& out) {
    const char* b = word.data();
    const char* e = b + word.size();
    auto r = std::from_chars(b, e, out);
    return r.ec == std::errc() && r.ptr == e && out >= lo && out <= hi;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The text of a `char` line: UTF-8 turned into Windows-1252, with the escapes \\, \b
// (backspace), \r (Enter), \t (tab), \e (Escape) and \xHH (any byte). An `answer` line may
// be empty.
std::optional<std::string> char_text(const std::string& utf8, std::string& why,
                                     bool may_be_empty = false) {
    std::string plain, out;
    auto flush = [&]() {
        if (plain.empty()) return true;
        std::string err;
        auto bytes = utf8_to_cp1252(plain, &err);
        if (!bytes) {
            why = err;
            return false;
        }
        out += *bytes;
        plain.clear();
        return true;
    };
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] != '\\') {
            plain += utf8[i];
            continue;
        }
        if (!flush()) return std::nullopt;
        char c = i + 1 < utf8.size() ? utf8[++i] : '\0';
        switch (c) {
        case '\\':
            out += '\\';
            break;
        case 'b':
            out += '\b';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'e':
            out += '\x1b';
            break;
        case 'x': {
            int hi = i + 1 < utf8.size() ? hex_digit(utf8[i + 1]) : -1;
            int lo = i + 2 < utf8.size() ? hex_digit(utf8[i + 2]) : -1;
            if (hi < 0 || lo < 0) {
                why = "\\x needs two hexadecimal digits";
                return std::nullopt;
            }
            out += char(hi * 16 + lo);
            i += 2;
            break;
        }
        default:
            why = "unknown escape \\" + std::string(1, c ? c : ' ');
            return std::nullopt;
        }
    }
    if (!flush()) return std::nullopt;
    if (out.empty() && !may_be_empty) {
        why = "char needs a text";
        return std::nullopt;
    }
    return out;
}

} // namespace

std::optional<std::vector<RScriptedEvent>> parse_scripted_input(const std::string& text,
                                                                std::string* error) {
    std::vector<RScriptedEvent> events;
    std::istringstream in(text);
    std::string line;
    int line_no = 0;
    auto fail = [&](const std::string& why) -> std::optional<std::vector<RScriptedEvent>> {
        if (error) *error = "line " + std::to_string(line_no) + ": " + why;
        return std::nullopt;
    };
    while (std::getline(in, line)) {
        ++line_no;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::istringstream words(line);
        std::string step_word, kind;
        words >> step_word >> kind;
        RScriptedEvent ev;
        int64_t n = 0;
        if (!parse_number(step_word, 1, INT64_MAX, n))
            return fail("the step must be a whole number from 1 (got \"" + step_word + "\")");
        ev.step = n;
        std::vector<std::string> args;
        if (kind == "char" || kind == "answer") {
            // The text is everything after one blank following the word.
            size_t at = line.find(kind, line.find(step_word) + step_word.size());
            std::string rest = line.substr(at + kind.size());
            if (!rest.empty() && (rest[0] == ' ' || rest[0] == '\t')) rest.erase(0, 1);
            std::string why;
            auto bytes = char_text(rest, why, kind == "answer");
            if (!bytes) return fail(why);
            ev.kind = kind == "char" ? RScriptedEvent::character : RScriptedEvent::answer;
            ev.text = *bytes;
            events.push_back(ev);
            continue;
        }
        for (std::string w; words >> w;) args.push_back(w);
        auto want = [&](size_t count) { return args.size() == count; };
        if (kind == "key-down" || kind == "key-up") {
            if (!want(1) || !parse_number(args[0], 0, 65535, n))
                return fail(kind + " needs one key code from 0 to 65535");
            ev.kind = kind == "key-down" ? RScriptedEvent::key_down : RScriptedEvent::key_up;
            ev.a = int32_t(n);
        } else if (kind == "mouse-down" || kind == "mouse-up") {
            if (!want(1) || !parse_number(args[0], 1, 3, n))
                return fail(kind + " needs a button: 1 left, 2 right or 3 middle");
            ev.kind = kind == "mouse-down" ? RScriptedEvent::mouse_down : RScriptedEvent::mouse_up;
            ev.a = int32_t(n);
        } else if (kind == "mouse-move") {
            int64_t y = 0;
            if (!want(2) || !parse_number(args[0], -100000, 100000, n) ||
                !parse_number(args[1], -100000, 100000, y))
                return fail("mouse-move needs two whole numbers X Y (window pixels)");
            ev.kind = RScriptedEvent::mouse_move;
            ev.a = int32_t(n);
            ev.b = int32_t(y);
        } else if (kind == "debug-click") {
            int64_t y = 0;
            if (!want(2) || !parse_number(args[0], 0, 100000, n) ||
                !parse_number(args[1], 0, 100000, y))
                return fail("debug-click needs two whole numbers X Y (debug window pixels)");
            ev.kind = RScriptedEvent::debug_click;
            ev.a = int32_t(n);
            ev.b = int32_t(y);
        } else if (kind == "joystick") {
            // joystick ID X Y Z BUTTONS, or joystick ID none
            int64_t v[4] = {};
            bool unplugged = args.size() == 2 && args[1] == "none";
            if (args.empty() || !parse_number(args[0], 1, 2, n) ||
                (!unplugged && (args.size() != 5 || !parse_number(args[1], 0, 65535, v[0]) ||
                                !parse_number(args[2], 0, 65535, v[1]) ||
                                !parse_number(args[3], 0, 65535, v[2]) ||
                                !parse_number(args[4], 0, UINT32_MAX, v[3]))))
                return fail("joystick needs an id (1 or 2) and X Y Z (0 ... 65535) and the "
                            "buttons held (a bit each), or the id and none");
            ev.kind = RScriptedEvent::joystick;
            ev.a = int32_t(n);
            if (!unplugged)
                ev.joy =
                    RJoystickState{uint32_t(v[0]), uint32_t(v[1]), uint32_t(v[2]), uint32_t(v[3])};
        } else if (kind == "close") {
            if (!want(0)) return fail("close takes nothing after it");
            ev.kind = RScriptedEvent::close;
        } else if (kind.empty()) {
            return fail("an event must follow the step");
        } else {
            return fail(
                "unknown event \"" + kind +
                "\" (key-down, key-up, char, mouse-move, mouse-down, mouse-up, close, answer, "
                "joystick, debug-click)");
        }
        events.push_back(ev);
    }
    std::stable_sort(
        events.begin(), events.end(),
        [](const RScriptedEvent& l, const RScriptedEvent& r) { return l.step < r.step; });
    return events;
}

bool read_whole_file(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    out = text.str();
    return !in.bad();
}

std::optional<std::vector<RScriptedEvent>> read_scripted_input_file(const std::string& path,
                                                                    std::string* error) {
    std::string text;
    if (!read_whole_file(path, text)) {
        if (error) *error = "cannot be read";
        return std::nullopt;
    }
    return parse_scripted_input(text, error);
}

void deliver_scripted_input(const std::vector<RScriptedEvent>& events, size_t& next, int64_t step,
                            InputSink& sink, int32_t& mouse_x, int32_t& mouse_y,
                            std::array<std::optional<RJoystickState>, 2>* joysticks) {
    for (; next < events.size() && events[next].step <= step; ++next) {
        const RScriptedEvent& ev = events[next];
        switch (ev.kind) {
        case RScriptedEvent::key_down:
            sink.key_down(ev.a);
            break;
        case RScriptedEvent::key_up:
            sink.key_up(ev.a);
            break;
        case RScriptedEvent::character:
            for (char c : ev.text) sink.key_press(uint8_t(c));
            break;
        case RScriptedEvent::mouse_move:
            mouse_x = ev.a;
            mouse_y = ev.b;
            break;
        case RScriptedEvent::mouse_down:
            sink.mouse_down(ev.a);
            break;
        case RScriptedEvent::mouse_up:
            sink.mouse_up(ev.a);
            break;
        case RScriptedEvent::close:
            sink.close_request();
            break;
        case RScriptedEvent::answer:
        case RScriptedEvent::debug_click:
            break;
        case RScriptedEvent::joystick:
            if (joysticks && (ev.a == 1 || ev.a == 2)) (*joysticks)[size_t(ev.a - 1)] = ev.joy;
            break;
        }
    }
}

std::string format_scripted_event(const RScriptedEvent& ev) {
    std::string line = std::to_string(ev.step) + " ";
    switch (ev.kind) {
    case RScriptedEvent::key_down:
        return line + "key-down " + std::to_string(ev.a);
    case RScriptedEvent::key_up:
        return line + "key-up " + std::to_string(ev.a);
    case RScriptedEvent::character:
    case RScriptedEvent::answer: {
        line += ev.kind == RScriptedEvent::character ? "char " : "answer ";
        static const char digits[] = "0123456789abcdef";
        for (size_t i = 0; i < ev.text.size(); ++i) {
            const char c = ev.text[i];
            auto b = uint8_t(c);
            // An answer keeps its inner blanks readable; those at its ends are escaped.
            const bool inner_blank =
                c == ' ' && ev.kind == RScriptedEvent::answer && i > 0 && i + 1 < ev.text.size();
            if (b == '\\') {
                line += "\\\\";
            } else if ((b > ' ' && b < 0x7f) || inner_blank) {
                line += c;
            } else {
                // Blanks too, which editors and the line reader could lose at the ends.
                line += "\\x";
                line += digits[b >> 4];
                line += digits[b & 15];
            }
        }
        return line;
    }
    case RScriptedEvent::mouse_move:
        return line + "mouse-move " + std::to_string(ev.a) + " " + std::to_string(ev.b);
    case RScriptedEvent::mouse_down:
        return line + "mouse-down " + std::to_string(ev.a);
    case RScriptedEvent::mouse_up:
        return line + "mouse-up " + std::to_string(ev.a);
    case RScriptedEvent::close:
        return line + "close";
    case RScriptedEvent::debug_click:
        return line + "debug-click " + std::to_string(ev.a) + " " + std::to_string(ev.b);
    case RScriptedEvent::joystick:
        line += "joystick " + std::to_string(ev.a);
        if (!ev.joy) return line + " none";
        return line + " " + std::to_string(ev.joy->x) + " " + std::to_string(ev.joy->y) + " " +
               std::to_string(ev.joy->z) + " " + std::to_string(ev.joy->buttons);
    }
    return line;
}

std::vector<std::string> take_answers(std::vector<RScriptedEvent>& events) {
    std::vector<std::string> answers;
    for (const RScriptedEvent& ev : events)
        if (ev.kind == RScriptedEvent::answer) answers.push_back(ev.text);
    std::erase_if(events,
                  [](const RScriptedEvent& ev) { return ev.kind == RScriptedEvent::answer; });
    return answers;
}

bool key_is_held(const std::set<int32_t>& held, int32_t vk) {
    auto down = [&](int32_t k) { return held.count(k) > 0; };
    switch (vk) {
    case 16:
        return down(16) || down(160) || down(161);
    case 17:
        return down(17) || down(162) || down(163);
    case 18:
        return down(18) || down(164) || down(165);
    case 160:
    case 161:
        return down(vk) || down(16);
    case 162:
    case 163:
        return down(vk) || down(17);
    case 164:
    case 165:
        return down(vk) || down(18);
    default:
        return down(vk);
    }
}

} // namespace kelvane
