// The game information window: layout and scrolling of the document.
#include "graphics/Help_Form.h"

#include <algorithm>

#include "model/Help_Main.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

constexpr int32_t bar_width = 16, margin = 4, tab_width = 48;

RCanvasFont font_of(const RRtfDocument& doc, const RRtfStyle& s) {
    RCanvasFont f;
    std::string name = doc.font_name(s.font);
    f.spec.name = name.empty() ? "Arial" : name;
    f.spec.height = s.half_points > 0 ? font_height_for_points((s.half_points + 1) / 2) : -16;
    f.spec.bold = s.bold;
    f.spec.italic = s.italic;
    f.underline = s.underline;
    f.colour = 0;
    if (s.colour >= 0 && size_t(s.colour) < doc.colours.size() &&
        doc.colours[size_t(s.colour)] >= 0)
        f.colour = uint32_t(doc.colours[size_t(s.colour)]);
    return f;
}

// A word with its trailing blanks, or a tab, in one style.
struct Word {
    RCanvasFont font;
    std::string text;
    bool tab = false;
};

} // namespace

std::vector<RLaidLine> layout_document(const RRtfDocument& doc, int32_t width, CFonts& fonts) {
    std::vector<RLaidLine> lines;
    int32_t y = 0;
    DDSurface scratch;
    scratch.create(1, 1, false, 0, false);
    for (const RRtfParagraph& p : doc.paragraphs) {
        std::vector<Word> words;
        for (const RRtfRun& r : p.runs) {
            RCanvasFont f = font_of(doc, r.style);
            size_t i = 0;
            while (i < r.text.size()) {
                if (r.text[i] == '\t') {
                    words.push_back({f, "", true});
                    ++i;
                    continue;
                }
                size_t j = i;
                while (j < r.text.size() && r.text[j] != ' ' && r.text[j] != '\t') ++j;
                while (j < r.text.size() && r.text[j] == ' ') ++j;
                words.push_back({f, r.text.substr(i, j - i), false});
                i = j;
            }
        }
        RLaidLine line;
        int32_t x = 0;
        auto metrics = [&](const RCanvasFont& f, int32_t& ascent, int32_t& height) {
            CFont* font = fonts.font(f.spec);
            ascent = font ? font->metrics().ascent : 12;
            height = font ? font->metrics().height() : 16;
        };
        auto end_line = [&] {
            if (line.height == 0) metrics(font_of(doc, {}), line.ascent, line.height);
            // Alignment moves the finished line's pieces.
            int32_t used = 0;
            CCanvas c(scratch, &fonts);
            for (const auto& piece : line.pieces) {
                c.font = piece.font;
                used = std::max(used, piece.x + c.text_width(piece.text));
            }
            int32_t shift = p.align == 1 ? (width - used) / 2 : p.align == 2 ? width - used : 0;
            for (auto& piece : line.pieces) piece.x += std::max(0, shift);
            line.y = y;
            y += line.height;
            lines.push_back(std::move(line));
            line = RLaidLine();
            x = 0;
        };
        for (const Word& w : words) {
            CCanvas c(scratch, &fonts);
            c.font = w.font;
            int32_t ascent = 0, height = 0;
            metrics(w.font, ascent, height);
            if (w.tab) {
                x = (x / tab_width + 1) * tab_width;
                continue;
            }
            int32_t ww = c.text_width(w.text);
            // The trailing blanks may hang past the edge.
            std::string_view bare = w.text;
            while (!bare.empty() && bare.back() == ' ') bare.remove_suffix(1);
            if (x > 0 && x + c.text_width(bare) > width) end_line();
            line.ascent = std::max(line.ascent, ascent);
            line.height = std::max(line.height, height);
            line.pieces.push_back({x, w.font, w.text});
            x += ww;
        }
        end_line();
    }
    // Every line's pieces sit on its baseline: the ascent of its tallest font.
    return lines;
}

THelpForm::THelpForm(const GameInformation& info, bool cover, int32_t width, int32_t height)
    : doc_(read_rtf(info.text)), back_(uint32_t(info.color) & 0xFFFFFF), cover_(cover),
      width_(width), height_(height) {}

std::optional<std::string> THelpForm::caption() const {
    if (cover_) return std::nullopt;
    return std::string("Game Information");
}

void THelpForm::frame(CUi& ui) {
    const int32_t text_w = width_ - bar_width - 2 * margin;
    if (laid_width_ != text_w) {
        lines_ = layout_document(doc_, text_w, ui.fonts);
        laid_width_ = text_w;
    }
    const int32_t total = lines_.empty() ? 0 : lines_.back().y + lines_.back().height + 2 * margin;
    const int32_t line_step = 16, page = height_;
    for (int32_t k : ui.in.keys) {
        if (k == vk_escape) closed = true;
        if (k == vk_up) scroll_ -= line_step;
        if (k == vk_down) scroll_ += line_step;
        if (k == vk_prior) scroll_ -= page - line_step;
        if (k == vk_next) scroll_ += page - line_step;
        if (k == vk_home) scroll_ = 0;
        if (k == vk_end) scroll_ = total;
    }
    scroll_ -= ui.in.wheel * 3 * line_step;
    scroll_ = std::clamp(scroll_, 0, std::max(0, total - page));

    ui.fill({0, 0, width_, height_}, back_);
    const RRect old = ui.surface.clip;
    ui.surface.clip = {0, 0, width_ - bar_width, height_};
    for (const RLaidLine& line : lines_) {
        const int32_t top = margin + line.y - scroll_;
        if (top + line.height < 0 || top > height_) continue;
        for (const RLaidPiece& piece : line.pieces) {
            CCanvas c = ui.canvas(piece.font);
            const int32_t ascent = c.text_height("M") > 0 ? [&] {
                CFont* f = ui.fonts.font(piece.font.spec);
                return f ? f->metrics().ascent : line.ascent;
            }()
                                                          : line.ascent;
            c.text_out(margin + piece.x, top + line.ascent - ascent, piece.text);
        }
    }
    ui.surface.clip = old;
    ui.scroll_bar(ui_id("scroll"), {width_ - bar_width, 0, width_, height_}, scroll_, total, page,
                  line_step);
}

void show_game_information(Runtime& rt) {
    if (rt.game.options.exclusive_mode) return;
    const GameInformation& info = rt.game.information;
    const bool cover = info.help_in_window;
    int32_t w = 587 - 2 * form_frame, h = 367 - 2 * form_frame - form_title_height;
    if (cover) {
        const DDSurface& s = rt.display.screen();
        w = s.exists() ? s.width : rt.display.buffer_width();
        h = s.exists() ? s.height : rt.display.buffer_height();
    }
    THelpForm form(info, cover, w, h);
    RFormPlace place;
    if (cover) place.kind = RFormPlace::cover;
    show_form(rt, form, place);
}

} // namespace kelvane
