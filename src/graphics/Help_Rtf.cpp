// The rich-text reader: one pass over the bytes with a stack of group states.
#include "graphics/Help_Rtf.h"

#include <algorithm>

namespace kelvane {

namespace {

// Deeper groups than this share the state of the deepest one: nesting costs nothing.
constexpr size_t max_depth = 256;
// Numbers of control words are held to what any document needs.
constexpr int64_t max_number = 1000000;
constexpr size_t max_colours = 4096, max_fonts = 4096;

enum class Destination { text, font_table, colour_table, skip };

struct GroupState {
    RRtfStyle style;
    Destination dest = Destination::text;
    int32_t align = 0;
    int32_t unicode_skip = 1;
};

bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
int32_t hex_value(char c) {
    if (is_digit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Destinations whose contents are not text of the document.
bool skipped_destination(std::string_view w) {
    static const char* const names[] = {
        "stylesheet",
        "info",
        "pict",
        "object",
        "header",
        "footer",
        "headerl",
        "headerr",
        "footerl",
        "footerr",
        "footnote",
        "listtable",
        "listoverridetable",
        "rsidtbl",
        "generator",
        "themedata",
        "colorschememapping",
        "latentstyles",
        "datastore",
        "xmlnstbl",
        "mmathPr",
        "filetbl",
        "revtbl",
        "pgdsctbl",
        "fldinst",
    };
    for (const char* n : names)
        if (w == n) return true;
    return false;
}

class Reader {
  public:
    explicit Reader(std::string_view s) : s_(s) {}

    RRtfDocument read() {
        stack_.push_back(GroupState());
        doc_.paragraphs.emplace_back();
        while (pos_ < s_.size()) {
            const char c = s_[pos_];
            if (c == '{') {
                ++pos_;
                open_group();
            } else if (c == '}') {
                ++pos_;
                close_group();
            } else if (c == '\\') {
                ++pos_;
                control();
            } else if (c == '\r' || c == '\n') {
                ++pos_;
            } else {
                ++pos_;
                character(c);
            }
        }
        finish_font();
        // A final empty paragraph (after the last \par) is not a line of its own.
        if (doc_.paragraphs.size() > 1 && doc_.paragraphs.back().runs.empty())
            doc_.paragraphs.pop_back();
        return std::move(doc_);
    }

  private:
    std::string_view s_;
    size_t pos_ = 0;
    std::vector<GroupState> stack_;
    size_t extra_depth_ = 0; // groups opened beyond max_depth
    RRtfDocument doc_;
    // The font table entry being read.
    int32_t font_number_ = -1;
    std::string font_name_;
    bool font_pending_ = false;
    // The colour being read.
    int32_t red_ = 0, green_ = 0, blue_ = 0;
    bool colour_set_ = false;
    int32_t skip_chars_ = 0; // fallback characters of a \u still to skip

    GroupState& state() { return stack_.back(); }

    void open_group() {
        if (stack_.size() >= max_depth) {
            ++extra_depth_;
            return;
        }
        GroupState g = state();
        stack_.push_back(g);
        // "{\*\name ...}": a destination we may not know; skipped unless known below.
        if (pos_ + 1 < s_.size() && s_[pos_] == '\\' && s_[pos_ + 1] == '*') {
            pos_ += 2;
            state().dest = Destination::skip;
        }
    }

    void close_group() {
        if (extra_depth_ > 0) {
            --extra_depth_;
            return;
        }
        if (state().dest == Destination::font_table) finish_font();
        if (stack_.size() > 1) stack_.pop_back();
    }

    void finish_font() {
        if (!font_pending_) return;
        while (!font_name_.empty() && font_name_.back() == ' ') font_name_.pop_back();
        if (doc_.fonts.size() < max_fonts) {
            doc_.fonts.push_back(font_name_);
            doc_.font_numbers.push_back(font_number_);
        }
        font_name_.clear();
        font_number_ = -1;
        font_pending_ = false;
    }

    void character(char c) {
        if (skip_chars_ > 0) {
            --skip_chars_;
            return;
        }
        switch (state().dest) {
        case Destination::skip:
            return;
        case Destination::font_table:
            if (c == ';') {
                finish_font();
            } else {
                font_pending_ = true;
                font_name_ += c;
            }
            return;
        case Destination::colour_table:
            if (c == ';') {
                if (doc_.colours.size() < max_colours)
                    doc_.colours.push_back(colour_set_ ? red_ | green_ << 8 | blue_ << 16 : -1);
                red_ = green_ = blue_ = 0;
                colour_set_ = false;
            }
            return;
        case Destination::text:
            text(c);
            return;
        }
    }

    void text(char c) {
        RRtfParagraph& p = doc_.paragraphs.back();
        p.align = state().align;
        if (p.runs.empty() || p.runs.back().style != state().style)
            p.runs.push_back({state().style, ""});
        p.runs.back().text += c;
    }

    void paragraph() {
        if (state().dest != Destination::text) return;
        doc_.paragraphs.back().align = state().align;
        doc_.paragraphs.emplace_back();
        doc_.paragraphs.back().align = state().align;
    }

    void control() {
        if (pos_ >= s_.size()) return;
        const char c = s_[pos_];
        if (!is_letter(c)) {
            ++pos_;
            control_symbol(c);
            return;
        }
        const size_t start = pos_;
        while (pos_ < s_.size() && is_letter(s_[pos_]) && pos_ - start < 32) ++pos_;
        const std::string_view word = s_.substr(start, pos_ - start);
        while (pos_ < s_.size() && is_letter(s_[pos_])) ++pos_; // an overlong word
        bool has_number = false, negative = false;
        int64_t number = 0;
        if (pos_ < s_.size() && s_[pos_] == '-' && pos_ + 1 < s_.size() && is_digit(s_[pos_ + 1]))
            negative = true, ++pos_;
        while (pos_ < s_.size() && is_digit(s_[pos_])) {
            has_number = true;
            number = std::min(max_number, number * 10 + (s_[pos_] - '0'));
            ++pos_;
        }
        if (negative) number = -number;
        if (pos_ < s_.size() && s_[pos_] == ' ') ++pos_; // the delimiter
        control_word(word, has_number, int32_t(number));
    }

    void control_symbol(char c) {
        switch (c) {
        case '\\':
        case '{':
        case '}':
            character(c);
            break;
        case '~':
            character(char(0xA0));
            break;
        case '_':
            character('-');
            break;
        case '\'': {
            int32_t hi = pos_ < s_.size() ? hex_value(s_[pos_]) : -1;
            int32_t lo = pos_ + 1 < s_.size() ? hex_value(s_[pos_ + 1]) : -1;
            if (hi >= 0 && lo >= 0) {
                pos_ += 2;
                character(char(hi * 16 + lo));
            } else if (hi >= 0) {
                ++pos_; // half an escape is dropped whole
            }
            break;
        }
        case '\r':
        case '\n':
            paragraph();
            break;
        default: // \- (optional hyphen), \* outside a group start and others: nothing
            break;
        }
    }

    void control_word(std::string_view w, bool has_number, int32_t n) {
        GroupState& g = state();
        const bool on = !has_number || n != 0;
        if (skipped_destination(w)) {
            g.dest = Destination::skip;
        } else if (w == "fonttbl") {
            g.dest = Destination::font_table;
        } else if (w == "colortbl") {
            g.dest = Destination::colour_table;
        } else if (g.dest == Destination::colour_table) {
            int32_t v = std::clamp(n, 0, 255);
            if (w == "red") red_ = v, colour_set_ = true;
            if (w == "green") green_ = v, colour_set_ = true;
            if (w == "blue") blue_ = v, colour_set_ = true;
        } else if (g.dest == Destination::font_table) {
            if (w == "f") {
                finish_font();
                font_number_ = n;
                font_pending_ = true;
            }
        } else if (w == "par" || w == "line") {
            paragraph();
        } else if (w == "tab") {
            character('\t');
        } else if (w == "pard") {
            g.align = 0;
        } else if (w == "plain") {
            g.style = RRtfStyle();
        } else if (w == "b") {
            g.style.bold = on;
        } else if (w == "i") {
            g.style.italic = on;
        } else if (w == "ul") {
            g.style.underline = on;
        } else if (w == "ulnone") {
            g.style.underline = false;
        } else if (w == "f") {
            g.style.font = n;
        } else if (w == "fs") {
            g.style.half_points = std::clamp(n, 0, 2000);
        } else if (w == "cf") {
            g.style.colour = n;
        } else if (w == "ql" || w == "qj") {
            g.align = w == "ql" ? 0 : 3;
        } else if (w == "qc") {
            g.align = 1;
        } else if (w == "qr") {
            g.align = 2;
        } else if (w == "uc") {
            g.unicode_skip = std::clamp(n, 0, 16);
        } else if (w == "u") {
            // A Unicode character: Windows-1252 has the first 256 code points' Latin-1
            // part; others show as "?". The fallback characters after it are skipped.
            int32_t u = n < 0 ? n + 65536 : n;
            character(u >= 32 && u < 256 && !(u >= 0x80 && u < 0xA0) ? char(u) : '?');
            skip_chars_ = g.unicode_skip;
        } else if (w == "emdash") {
            character(char(0x97));
        } else if (w == "endash") {
            character(char(0x96));
        } else if (w == "bullet") {
            character(char(0x95));
        } else if (w == "lquote" || w == "rquote") {
            character(char(w == "lquote" ? 0x91 : 0x92));
        } else if (w == "ldblquote" || w == "rdblquote") {
            character(char(w == "ldblquote" ? 0x93 : 0x94));
        }
    }
};

} // namespace

std::string RRtfDocument::font_name(int32_t number) const {
    for (size_t i = 0; i < fonts.size(); ++i)
        if (font_numbers[i] == number) return fonts[i];
    return {};
}

RRtfDocument read_rtf(std::string_view bytes) {
    if (bytes.substr(0, 5) != "{\\rtf") {
        // Not rich text: shown as it is, line by line.
        RRtfDocument doc;
        doc.paragraphs.emplace_back();
        for (size_t i = 0; i < bytes.size(); ++i) {
            char c = bytes[i];
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
            if (c == '\n' || c == '\r') {
                doc.paragraphs.emplace_back();
                continue;
            }
            auto& runs = doc.paragraphs.back().runs;
            if (runs.empty()) runs.emplace_back();
            runs.back().text += c;
        }
        return doc;
    }
    return Reader(bytes).read();
}

std::string rtf_plain_text(const RRtfDocument& doc) {
    std::string out;
    for (const auto& p : doc.paragraphs) {
        for (const auto& r : p.runs) out += r.text;
        out += '\n';
    }
    return out;
}

} // namespace kelvane
